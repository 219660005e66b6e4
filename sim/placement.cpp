#include "placement.h"

#include <immintrin.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "assert_stop.h"
#include "network.h"
#include "progress.h"
#include "random_draws.h"
#include "record_buffer.h"

// Each fiber takes 3 draws for its centre, then 3 per direction attempt until one falls in the
// shell. The stream is one chain of draws, each waiting for the last through the shuffle table,
// and the placement is split around it: a producer makes the draws in blocks into a ring, with
// the two generators stepped eight states at a time in vector lanes (by a^8 mod m) so that only
// the shuffle is left in the chain, and a consumer, on a second thread when there is one, marks
// the attempts in the shell and computes the fibers. The producer runs ahead of what the fibers
// use; the stream is left exactly after the last fiber's draws by replaying them from the state
// saved at the start of their block.

namespace {

using random_draws::kFirst;
using random_draws::kSecond;

constexpr int32_t kReportEvery = 1 << 16;
constexpr int kBlock = 4096;  // draws
// Blocks in the ring: with a second thread, room to let the producer run well ahead; alone, the
// few that the consumer needs at once.
constexpr int kSharedBlocks = 512;
constexpr int kAloneBlocks = 4;
// How far the producer is let ahead before a waiting consumer goes on: far enough that the
// consumer reads what has left the producer's caches, so that no line is passed between them.
constexpr int64_t kLead = int64_t{kBlock} * kSharedBlocks / 2;
constexpr int kLanes = 8;
// Below this a second thread costs more than it saves.
constexpr int32_t kThreadedFrom = 1 << 15;
// Pauses before a waiting thread sleeps: waits are short, unless a page is being mapped.
constexpr int kSpins = 1 << 12;

// The generators' next kLanes states each, stepped kLanes states at a time by b = a^kLanes mod m:
// the product, below 2^62, is reduced twice by 2^31 = c (mod m) and once by m
// (random_draws::multiply_mod), in 64-bit vector lanes. Both widths below run the same steps.
struct Lanes {
  alignas(32) uint64_t first[kLanes], second[kLanes];

  void start(uint32_t s1, uint32_t s2) {
    for (int k = 0; k < kLanes; ++k) {
      first[k] = s1 = random_draws::multiply_mod(static_cast<uint32_t>(kFirst.a), s1, kFirst);
      second[k] = s2 = random_draws::multiply_mod(static_cast<uint32_t>(kSecond.a), s2, kSecond);
    }
  }
};

struct NarrowSteps {
  using V = __m128i;
  static constexpr int kWidth = 2;
  static V load(const uint64_t* p) { return _mm_load_si128(reinterpret_cast<const V*>(p)); }
  static void store(uint64_t* p, V v) { _mm_store_si128(reinterpret_cast<V*>(p), v); }
  static V set(int64_t v) { return _mm_set1_epi64x(v); }
  static V step(V s, V b, V m, V c) {
    const V low31 = _mm_set1_epi64x(0x7fffffff);
    V r = _mm_mul_epu32(s, b);
    r = _mm_add_epi64(_mm_and_si128(r, low31), _mm_mul_epu32(_mm_srli_epi64(r, 31), c));
    r = _mm_add_epi64(_mm_and_si128(r, low31), _mm_mul_epu32(_mm_srli_epi64(r, 31), c));
    const V t = _mm_sub_epi64(r, m);
    const V below = _mm_shuffle_epi32(_mm_srai_epi32(t, 31), _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_epi64(t, _mm_and_si128(below, m));
  }
  // The low halves of the lanes of a and b, in order.
  static void low_halves(uint32_t* out, V a, V b) {
    _mm_storeu_si128(reinterpret_cast<V*>(out),
                     _mm_unpacklo_epi64(_mm_shuffle_epi32(a, _MM_SHUFFLE(2, 0, 2, 0)),
                                        _mm_shuffle_epi32(b, _MM_SHUFFLE(2, 0, 2, 0))));
  }
};

// The chain of draws over a block: each draw takes the generators' next states from the lanes,
// eight at a time, and its slot in the shuffle table from the last draw.
#define MIKADO_DRAW_BLOCK(S)                                        \
  constexpr int kVectors = kLanes / S::kWidth;                      \
  const S::V m1 = S::set(kFirst.m), m2 = S::set(kSecond.m);         \
  const S::V c1 = S::set((int64_t{1} << 31) - kFirst.m),            \
             c2 = S::set((int64_t{1} << 31) - kSecond.m);           \
  const S::V b1 = S::set(random_draws::power_mod(kFirst, kLanes));  \
  const S::V b2 = S::set(random_draws::power_mod(kSecond, kLanes)); \
  S::V l1[kVectors], l2[kVectors];                                  \
  for (int v = 0; v < kVectors; ++v) {                              \
    l1[v] = S::load(lanes.first + v * S::kWidth);                   \
    l2[v] = S::load(lanes.second + v * S::kWidth);                  \
  }                                                                 \
  RandomStream s = stream;                                          \
  alignas(16) uint32_t s1[kLanes], s2[kLanes];                      \
  for (int t = 0; t < kBlock; t += kLanes) {                        \
    for (int v = 0; v < kVectors; v += 2) {                         \
      S::low_halves(s1 + v * S::kWidth, l1[v], l1[v + 1]);          \
      S::low_halves(s2 + v * S::kWidth, l2[v], l2[v + 1]);          \
    }                                                               \
    for (int v = 0; v < kVectors; ++v) {                            \
      l1[v] = S::step(l1[v], b1, m1, c1);                           \
      l2[v] = S::step(l2[v], b2, m2, c2);                           \
    }                                                               \
    for (int k = 0; k < kLanes; ++k) {                              \
      const int32_t j = random_draws::slot(s.last);                 \
      int32_t d = s.shuffle[j] - static_cast<int32_t>(s2[k]);       \
      s.shuffle[j] = static_cast<int32_t>(s1[k]);                   \
      d += d < 1 ? random_draws::kTop : 0;                          \
      s.last = d;                                                   \
      out[t + k] = d;                                               \
    }                                                               \
  }                                                                 \
  s.state1 = static_cast<int32_t>(s1[kLanes - 1]);                  \
  s.state2 = static_cast<int32_t>(s2[kLanes - 1]);                  \
  stream = s;                                                       \
  for (int v = 0; v < kVectors; ++v) {                              \
    S::store(lanes.first + v * S::kWidth, l1[v]);                   \
    S::store(lanes.second + v * S::kWidth, l2[v]);                  \
  }

std::atomic<bool> wide_draws_wanted{true};

void draw_block_narrow(RandomStream& stream, Lanes& lanes, int32_t* out) {
  MIKADO_DRAW_BLOCK(NarrowSteps)
}

#if !defined(_WIN32)
// GCC cannot keep 32-byte stack slots aligned on Windows (SEH): the wide version is left out there.
#define MIKADO_HAS_WIDE 1
// The wide vectors never cross a function boundary: everything below is inlined into
// draw_block_wide, so the ABI note on 32-byte vector arguments does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#define MIKADO_WIDE __attribute__((target("avx2"), always_inline))

struct WideSteps {
  using V = __m256i;
  static constexpr int kWidth = 4;
  MIKADO_WIDE static V load(const uint64_t* p) {
    return _mm256_load_si256(reinterpret_cast<const V*>(p));
  }
  MIKADO_WIDE static void store(uint64_t* p, V v) {
    _mm256_store_si256(reinterpret_cast<V*>(p), v);
  }
  MIKADO_WIDE static V set(int64_t v) { return _mm256_set1_epi64x(v); }
  MIKADO_WIDE static V step(V s, V b, V m, V c) {
    const V low31 = _mm256_set1_epi64x(0x7fffffff);
    V r = _mm256_mul_epu32(s, b);
    r = _mm256_add_epi64(_mm256_and_si256(r, low31), _mm256_mul_epu32(_mm256_srli_epi64(r, 31), c));
    r = _mm256_add_epi64(_mm256_and_si256(r, low31), _mm256_mul_epu32(_mm256_srli_epi64(r, 31), c));
    const V t = _mm256_sub_epi64(r, m);
    return _mm256_add_epi64(t, _mm256_and_si256(_mm256_cmpgt_epi64(_mm256_setzero_si256(), t), m));
  }
  MIKADO_WIDE static void low_halves(uint32_t* out, V a, V b) {
    const V pick = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    const V both = _mm256_permute2x128_si256(_mm256_permutevar8x32_epi32(a, pick),
                                             _mm256_permutevar8x32_epi32(b, pick), 0x20);
    _mm256_storeu_si256(reinterpret_cast<V*>(out), both);
  }
};

__attribute__((target("avx2"))) void draw_block_wide(RandomStream& stream, Lanes& lanes,
                                                     int32_t* out) {
  MIKADO_DRAW_BLOCK(WideSteps)
}

// Whether to run the wide versions: chosen by use_wide_draws and taken where the CPU has them.
bool wide_draws() {
  __builtin_cpu_init();
  return wide_draws_wanted && __builtin_cpu_supports("avx2");
}
#endif

// The draws of a placement, made into a ring in blocks. Draw n, counted from the placement's
// first, is at(n) once made() exceeds n, until the consumer releases it.
class DrawRing {
 public:
  DrawRing(const RandomStream& s, int blocks)
      : blocks_in_ring_(blocks),
        mask_(int64_t{kBlock} * blocks - 1),
        ring_(take_ring(sizeof(int32_t) * kBlock * blocks)),
        saved_(new RandomStream[blocks + 1]),
        stream_(s) {
#ifdef MIKADO_HAS_WIDE
    if (wide_draws()) block_ = draw_block_wide;
#endif
  }

  // Makes the next block; the consumer must have released all but one block of the ring.
  void make_block() {
    saved_[blocks_ % (blocks_in_ring_ + 1)] = stream_;
    int32_t* const out = ring_.get() + (made_.load(std::memory_order_relaxed) & mask_);
    if (blocks_ == 0) {
      // The seeding leaves states outside [0, m) that Schrage's method steps; after one step
      // both generators stay inside, where the lanes take over.
      for (int t = 0; t < kBlock; ++t) out[t] = random_draws::next(stream_);
      lanes_.start(static_cast<uint32_t>(stream_.state1), static_cast<uint32_t>(stream_.state2));
    } else {
      block_(stream_, lanes_, out);
    }
    ++blocks_;
    const int64_t made = made_.load(std::memory_order_relaxed) + kBlock;
    made_.store(made, std::memory_order_seq_cst);
    if (made >= wanted_made_.load(std::memory_order_seq_cst)) wake(wake_consumer_);
  }

  // The producer's loop on a thread of its own: makes blocks as the ring has room, until stop().
  void produce() {
    for (;;) {
      for (int spins = 0; !room();) {
        if (stopped_.load(std::memory_order_acquire)) return;
        if (++spins < kSpins) {
          _mm_pause();
          continue;
        }
        // Sleeps until the consumer has freed the block it needs, or stops.
        wanted_release_.store(made_.load(std::memory_order_relaxed) + kBlock - (mask_ + 1),
                              std::memory_order_seq_cst);
        const uint32_t seen = wake_producer_.load(std::memory_order_seq_cst);
        if (!room() && !stopped_.load(std::memory_order_seq_cst)) wake_producer_.wait(seen);
      }
      if (stopped_.load(std::memory_order_acquire)) return;
      make_block();
    }
  }

  // For the consumer: waits until the producer has made `n` draws; returns the draws made.
  int64_t wait_for(int64_t n) {
    for (int spins = 0;;) {
      const int64_t now = made();
      if (now >= n) return now;
      if (++spins < kSpins) {
        _mm_pause();
        continue;
      }
      wanted_made_.store(n, std::memory_order_seq_cst);
      const uint32_t seen = wake_consumer_.load(std::memory_order_seq_cst);
      if (made_.load(std::memory_order_seq_cst) < n) wake_consumer_.wait(seen);
    }
  }

  // Draws before `n` are no longer needed. The producer waits for whole blocks.
  void release(int64_t n) {
    const int64_t before = released_.load(std::memory_order_relaxed);
    if ((n ^ before) < kBlock) {
      released_.store(n, std::memory_order_release);
      return;
    }
    released_.store(n, std::memory_order_seq_cst);
    if (n >= wanted_release_.load(std::memory_order_seq_cst)) wake(wake_producer_);
  }

  void stop() {
    stopped_.store(true, std::memory_order_seq_cst);
    wake(wake_producer_);
  }

  // The stream after `count` draws, which the ring still holds or has just made.
  RandomStream after(int64_t count) const {
    const int64_t block = count / kBlock;
    RandomStream s = block == blocks_ ? stream_ : saved_[block % (blocks_in_ring_ + 1)];
    for (int64_t n = block * kBlock; n < count; ++n) random_draws::next(s);
    return s;
  }

  int32_t at(int64_t n) const {
    return ring_[n & mask_];
  }
  // The draws of the block from `first`, side by side.
  const int32_t* block(int64_t first) const {
    return ring_.get() + (first & mask_);
  }
  int blocks() const {
    return blocks_in_ring_;
  }
  int64_t made() const {
    return made_.load(std::memory_order_acquire);
  }

 private:
  bool room() const {
    return made_.load(std::memory_order_relaxed) + kBlock -
               released_.load(std::memory_order_acquire) <=
           mask_ + 1;
  }

  const int blocks_in_ring_;
  const int64_t mask_;
  struct Give {
    size_t bytes;
    void operator()(int32_t* p) const { big_memory::give(p, bytes); }
  };
  static std::unique_ptr<int32_t[], Give> take_ring(size_t bytes) {
    void* const p = big_memory::take(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return {static_cast<int32_t*>(p), Give{bytes}};
  }

  const std::unique_ptr<int32_t[], Give> ring_;
  const std::unique_ptr<RandomStream[]> saved_;  // the stream before each block still in the ring
  RandomStream stream_;                          // after the draws made
  Lanes lanes_;
  void (*block_)(RandomStream&, Lanes&, int32_t*) = draw_block_narrow;
  int64_t blocks_ = 0;
  // Each side's progress, each in a cache line of its own, with counters to sleep on: a thread
  // that has waited a while sleeps until the other moves on a block.
  static void wake(std::atomic<uint32_t>& counter) {
    counter.fetch_add(1, std::memory_order_seq_cst);
    counter.notify_one();
  }

  // Each side's progress in a cache line of its own. A thread that has waited a while sleeps on
  // a counter, after saying what it waits for; the other wakes it once that is there.
  alignas(64) std::atomic<int64_t> made_{0};
  std::atomic<int64_t> wanted_release_{INT64_MAX};
  std::atomic<uint32_t> wake_producer_{0};
  alignas(64) std::atomic<int64_t> released_{0};
  std::atomic<int64_t> wanted_made_{INT64_MAX};
  std::atomic<uint32_t> wake_consumer_{0};
  std::atomic<bool> stopped_{false};
};

// v = 2u - 1 in float32, squared in double: a direction component's share of r^2.
inline double square_of(int32_t draw) {
  const auto v = static_cast<float>(2.0 * (draw * random_draws::kScale) - 1.0);
  return static_cast<double>(v) * v;
}

// Marks a block: sets bit t of word[t / 64] when the attempt of draws t, t + 1 and t + 2 lies in
// the shell, from the squares of the block's draws and of the two after it, which square[kBlock]
// and square[kBlock + 1] hold.
void mark_narrow(const int32_t* draws, double* square, uint64_t* word) {
  for (int t = 0; t < kBlock; ++t) square[t] = square_of(draws[t]);
  for (int w = 0; w < kBlock / 64; ++w) {
    uint64_t bits = 0;
    for (int k = 0; k < 64; ++k) {
      const int t = w * 64 + k;
      const double r2 = square[t] + square[t + 1] + square[t + 2];
      bits |= static_cast<uint64_t>((r2 > random_draws::kShellInner) & (r2 < 1.0)) << k;
    }
    word[w] = bits;
  }
}

#ifdef MIKADO_HAS_WIDE
// The same operations, four lanes at a time.
__attribute__((target("avx2"))) void mark_wide(const int32_t* draws, double* square,
                                               uint64_t* word) {
  const __m256d scale = _mm256_set1_pd(random_draws::kScale), two = _mm256_set1_pd(2.0),
                one = _mm256_set1_pd(1.0), inner = _mm256_set1_pd(random_draws::kShellInner);
  for (int t = 0; t < kBlock; t += 4) {
    const __m256d u = _mm256_mul_pd(
        _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(draws + t))), scale);
    const __m256d v = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(two, u), one)));
    _mm256_storeu_pd(square + t, _mm256_mul_pd(v, v));
  }
  for (int w = 0; w < kBlock / 64; ++w) {
    uint64_t bits = 0;
    for (int k = 0; k < 64; k += 4) {
      const double* const q = square + w * 64 + k;
      const __m256d r2 = _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(q), _mm256_loadu_pd(q + 1)),
                                       _mm256_loadu_pd(q + 2));
      const __m256d in =
          _mm256_and_pd(_mm256_cmp_pd(r2, inner, _CMP_GT_OQ), _mm256_cmp_pd(r2, one, _CMP_LT_OQ));
      bits |= static_cast<uint64_t>(_mm256_movemask_pd(in)) << k;
    }
    word[w] = bits;
  }
}
#endif

// For the draws of the ring, in the same places: whether the attempt starting at a draw lies in
// the shell, a bit per draw, marked a block at a time.
class ShellMarks {
 public:
  explicit ShellMarks(int blocks)
      : words_(int64_t{kBlock} / 64 * blocks), word_(new uint64_t[words_]) {
#ifdef MIKADO_HAS_WIDE
    if (wide_draws()) mark_ = mark_wide;
#endif
  }

  // Marks the block of draws from `first`; the ring must also hold the two draws after it.
  void mark(const DrawRing& ring, int64_t first) {
    square_[kBlock] = square_of(ring.at(first + kBlock));
    square_[kBlock + 1] = square_of(ring.at(first + kBlock + 1));
    mark_(ring.block(first), square_, word_.get() + ((first >> 6) & (words_ - 1)));
  }

  // The marks of draws n .. n + 63, which must all be marked.
  uint64_t from(int64_t n) const {
    const int64_t w = n >> 6;
    const uint64_t low = word_[w & (words_ - 1)], high = word_[(w + 1) & (words_ - 1)];
    const int shift = static_cast<int>(n & 63);
    return shift == 0 ? low : (low >> shift) | (high << (64 - shift));
  }

 private:
  const int64_t words_;
  const std::unique_ptr<uint64_t[]> word_;
  void (*mark_)(const int32_t*, double*, uint64_t*) = mark_narrow;
  double square_[kBlock + 2];
};

// Every third bit, from the first: the attempts of one fiber among 64 marks.
constexpr uint64_t kEveryThird = 0x9249249249249249u;

}  // namespace

void use_wide_draws(bool wide) {
  wide_draws_wanted = wide;
}

void place_fibers() {
  ALWAYS_ASSERT(num_fibers <= network.fibers.size());
  place_fibers_into(network.fibers.data(), num_fibers, fiber_len, network.stream);
}

void place_fibers_into(Fiber* out, int32_t count, float length, RandomStream& stream) {
  place_fibers_into(out, count, length, box_min, box_max, stream);
}

void place_fibers_into(Fiber* out, int32_t count, float length, const float box_lo[3],
                       const float box_hi[3], RandomStream& stream) {
  if (count <= 0) return;
  Progress progress("placement", count);
  const double h = length * 0.5f;
  // Centres are uniform in the box, drawn x, then y, then z; the default box is the cube of side
  // 2e-6 around the origin.
  double lo[3], span[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = box_lo[k];
    span[k] = box_hi[k] - box_lo[k];  // the float32 difference
  }
  const bool shared = count >= kThreadedFrom && std::thread::hardware_concurrency() > 1;
  const auto ring = std::make_unique<DrawRing>(stream, shared ? kSharedBlocks : kAloneBlocks);
  std::thread producer;
  if (shared) {
    try {
      producer = std::thread([&ring] { ring->produce(); });
    } catch (const std::system_error&) {
      // The draws are made on this thread as they are needed.
    }
  }
  const bool alone = !producer.joinable();
  const auto marks = std::make_unique<ShellMarks>(ring->blocks());
  int64_t made = 0, marked = 0;
  // Marks until draw n is marked. The other thread is waited for until it is well ahead, so
  // that the two work on different parts of the ring and its cache lines do not go back and
  // forth.
  const auto need = [&](int64_t n) {
    for (; n >= marked; marked += kBlock) {
      if (marked + kBlock + 2 > made) {
        if (alone) {
          while (marked + kBlock + 2 > made) {
            ring->make_block();
            made = ring->made();
          }
        } else {
          made = ring->wait_for(marked + kBlock + 2 + kLead);
        }
      }
      marks->mark(*ring, marked);
    }
  };

  int64_t pos = 0;  // the fiber's first draw
  for (int32_t i = 0; i < count; ++i) {
    // The first attempt in the shell, among the marks of the next 21 attempts at a time.
    int64_t d = pos + 3;
    need(d + 63);
    const int32_t centre[3] = {ring->at(pos), ring->at(pos + 1), ring->at(pos + 2)};
    uint64_t hits;
    while ((hits = marks->from(d) & kEveryThird) == 0) {
      d += 63;
      ring->release(d);
      need(d + 63);
    }
    d += __builtin_ctzll(hits);
    double v[3];
    for (int k = 0; k < 3; ++k)
      v[k] = static_cast<float>(2.0 * (ring->at(d + k) * random_draws::kScale) - 1.0);
    const double r2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    const float len = static_cast<float>(std::sqrt(r2));
    const double inv = 1.0 / len;
    Fiber& f = out[i];
    for (int k = 0; k < 3; ++k) {
      const double u = centre[k] * random_draws::kScale;
      const float p = static_cast<float>(lo[k] + u * span[k]);
      const float dir = static_cast<float>(v[k] * inv);
      const double offset = h * dir;
      f.start[k] = static_cast<float>(p - offset);
      f.end[k] = static_cast<float>(p + offset);
    }
    pos = d + 3;
    ring->release(pos);
    if ((i + 1) % kReportEvery == 0) progress.add(kReportEvery);
  }
  if (producer.joinable()) {
    ring->stop();
    producer.join();
  }
  stream = ring->after(pos);
}
