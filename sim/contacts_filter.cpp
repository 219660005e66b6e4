#include "contacts_filter.h"

#include <immintrin.h>

#include <cmath>

namespace {

// The filter keeps a candidate when its midpoint is in reach and the two axes are close enough:
// farther apart than `limit` along their common normal n (|n.gap| / |n|) they never touch. The
// margins cover the float32 arithmetic here and the rounding of the unit normal in the exact
// test; parallel axes (n near 0) always pass. The test
//   |along| <= bound * sqrt(n2 + 4e-6) + slack,
// with bound and slack taken for the widest reach of any partner, is squared without the root:
// the cross term 2xy is at most 0.01x^2 + 100y^2. Both vector widths evaluate the same float32
// operations in the same order, so they keep the same pairs.
// The columns are padded, so a last partial vector reads harmless values. A range ends early at
// the first vector that starts beyond its stop.

// along^2 <= scale * n2 + least.
struct Closeness {
  float scale, least;
};

Closeness closeness(float limit, double widest_reach) {
  const double bound = limit * (1 + 1e-5) + widest_reach * 1e-5;
  const double slack = widest_reach * 4e-6;
  const double scale = 1.01 * bound * bound;
  // Rounded up, so that float32 never makes the test stricter.
  return {static_cast<float>(scale * (1 + 1e-6)),
          static_cast<float>((scale * 4e-6 + 101 * slack * slack) * (1 + 1e-6))};
}

struct Narrow {
  using F = __m128;
  static constexpr int kLanes = 4;
  // SSE2 is the baseline: these are inlined anyway.
  static F set(float v) { return _mm_set1_ps(v); }
  static F load(const float* p) { return _mm_loadu_ps(p); }
  static F add(F a, F b) { return _mm_add_ps(a, b); }
  static F sub(F a, F b) { return _mm_sub_ps(a, b); }
  static F mul(F a, F b) { return _mm_mul_ps(a, b); }
  static F le(F a, F b) { return _mm_cmple_ps(a, b); }
  static F both(F a, F b) { return _mm_and_ps(a, b); }
  static unsigned bits(F m) { return static_cast<unsigned>(_mm_movemask_ps(m)); }
  static F above(const int32_t* p, int32_t v) {
    const __m128i got = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_castsi128_ps(_mm_cmpgt_epi32(got, _mm_set1_epi32(v)));
  }
  // Writes e + k for each set bit k to out, in order; returns how many.
  static int keep(int32_t* out, int32_t e, unsigned bits) {
    int n = 0;
    for (; bits != 0; bits &= bits - 1) out[n++] = e + __builtin_ctz(bits);
    return n;
  }
};

// One body for both widths: each entry below expands it under its own target options.
#define MIKADO_FILTER_BODY(V)                                                             \
  const V::F ax = V::set(a.mid[0]), ay = V::set(a.mid[1]), az = V::set(a.mid[2]);         \
  const V::F ah = V::set(static_cast<float>(a.half));                                     \
  const V::F ux = V::set(a.dir[0]), uy = V::set(a.dir[1]), uz = V::set(a.dir[2]);         \
  const Closeness c = closeness(limit, a.half + 0.5 * g.reach);                           \
  const V::F scale = V::set(c.scale), least = V::set(c.least);                            \
  const bool by_index = after >= 0;                                                       \
  const float *const X = g.x.data(), *const Y = g.y.data(), *const Z = g.z.data();        \
  const float *const H = g.half.data(), *const DX = g.dx.data(), *const DY = g.dy.data(), \
                     *const DZ = g.dz.data();                                             \
  const int32_t* const I = g.index.data();                                                \
  int found = 0;                                                                          \
  for (const EntryRange* r = ranges; r != ranges + count; ++r) {                          \
    const int32_t end = r->end;                                                           \
    const float stop = r->stop;                                                           \
    for (int32_t e = r->begin; e < end && X[e] <= stop; e += V::kLanes) {                 \
      using F = V::F;                                                                     \
      const F gx = V::sub(V::load(X + e), ax), gy = V::sub(V::load(Y + e), ay),           \
              gz = V::sub(V::load(Z + e), az);                                            \
      const F reach = V::add(ah, V::load(H + e));                                         \
      const F gap2 = V::add(V::add(V::mul(gx, gx), V::mul(gy, gy)), V::mul(gz, gz));      \
      const F vx = V::load(DX + e), vy = V::load(DY + e), vz = V::load(DZ + e);           \
      const F nx = V::sub(V::mul(uy, vz), V::mul(uz, vy));                                \
      const F ny = V::sub(V::mul(uz, vx), V::mul(ux, vz));                                \
      const F nz = V::sub(V::mul(ux, vy), V::mul(uy, vx));                                \
      const F n2 = V::add(V::add(V::mul(nx, nx), V::mul(ny, ny)), V::mul(nz, nz));        \
      const F along = V::add(V::add(V::mul(nx, gx), V::mul(ny, gy)), V::mul(nz, gz));     \
      const F in_reach = V::le(gap2, V::mul(V::mul(reach, reach), V::set(1 + 1e-5f)));    \
      const F close = V::le(V::mul(along, along), V::add(V::mul(scale, n2), least));      \
      unsigned bits = V::bits(V::both(in_reach, close));                                  \
      if (by_index) bits &= V::bits(V::above(I + e, after));                              \
      if (end - e < V::kLanes) bits &= (1u << (end - e)) - 1;                             \
      found += V::keep(near + found, e, bits);                                            \
    }                                                                                     \
  }                                                                                       \
  return found;

#if !defined(_WIN32)
// GCC cannot keep 32-byte stack slots aligned on Windows (SEH), so the wide version is left out
// there.
#define MIKADO_HAS_WIDE 1

// The wide vectors never cross a function boundary: everything below is inlined into
// filter_wide, so the ABI note on 32-byte vector arguments does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#define MIKADO_WIDE __attribute__((target("avx2,popcnt"), always_inline))

// For each mask of eight lanes, the set lanes in order.
struct LanePacks {
  alignas(32) int32_t lanes[256][8];
  constexpr LanePacks() : lanes() {
    for (unsigned m = 0; m < 256; ++m) {
      int n = 0;
      for (int k = 0; k < 8; ++k) {
        if (m & (1u << k)) lanes[m][n++] = k;
      }
    }
  }
};
constexpr LanePacks kLanePacks;

struct Wide {
  using F = __m256;
  static constexpr int kLanes = 8;
  MIKADO_WIDE static F set(float v) { return _mm256_set1_ps(v); }
  MIKADO_WIDE static F load(const float* p) { return _mm256_loadu_ps(p); }
  MIKADO_WIDE static F add(F a, F b) { return _mm256_add_ps(a, b); }
  MIKADO_WIDE static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
  MIKADO_WIDE static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
  MIKADO_WIDE static F le(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
  MIKADO_WIDE static F both(F a, F b) { return _mm256_and_ps(a, b); }
  MIKADO_WIDE static unsigned bits(F m) { return static_cast<unsigned>(_mm256_movemask_ps(m)); }
  MIKADO_WIDE static F above(const int32_t* p, int32_t v) {
    const __m256i got = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return _mm256_castsi256_ps(_mm256_cmpgt_epi32(got, _mm256_set1_epi32(v)));
  }
  // Eight entries written at once, without a branch per kept one; out needs room for eight.
  MIKADO_WIDE static int keep(int32_t* out, int32_t e, unsigned bits) {
    const __m256i lanes =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(kLanePacks.lanes[bits]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm256_add_epi32(lanes, _mm256_set1_epi32(e)));
    return __builtin_popcount(bits);
  }
};

__attribute__((target("avx2,popcnt"))) int filter_wide(const ContactGrid& g,
                                                       const PreparedSegment& a, float limit,
                                                       int32_t after, const EntryRange* ranges,
                                                       int count, int32_t* near) {
  MIKADO_FILTER_BODY(Wide)
}

inline MIKADO_WIDE __m256 abs(__m256 v) {
  return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v);
}

// may_meet_inside on eight survivors at once, in float32: the rounding here stays far below
// the margin, which is twice that of the double version.
__attribute__((target("avx2,popcnt"))) int interior_wide(const ContactGrid& g,
                                                         const PreparedSegment& a, int32_t* near,
                                                         int count) {
  const __m256 ax = _mm256_set1_ps(a.mid[0]), ay = _mm256_set1_ps(a.mid[1]),
               az = _mm256_set1_ps(a.mid[2]);
  const __m256 ux = _mm256_set1_ps(a.dir[0]), uy = _mm256_set1_ps(a.dir[1]),
               uz = _mm256_set1_ps(a.dir[2]);
  const __m256 ah = _mm256_set1_ps(static_cast<float>(a.half));
  const __m256 a_size = abs(ax) + abs(ay) + abs(az);
  int kept = 0;
  for (int k = 0; k < count; k += 8) {
    const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(near + k));
    const __m256 bx = _mm256_i32gather_ps(g.x.data(), e, 4);
    const __m256 by = _mm256_i32gather_ps(g.y.data(), e, 4);
    const __m256 bz = _mm256_i32gather_ps(g.z.data(), e, 4);
    const __m256 vx = _mm256_i32gather_ps(g.dx.data(), e, 4);
    const __m256 vy = _mm256_i32gather_ps(g.dy.data(), e, 4);
    const __m256 vz = _mm256_i32gather_ps(g.dz.data(), e, 4);
    const __m256 bh = _mm256_i32gather_ps(g.half.data(), e, 4);
    const __m256 gx = bx - ax, gy = by - ay, gz = bz - az;
    const __m256 nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const __m256 n2 = nx * nx + ny * ny + nz * nz;
    const __m256 gvx = gy * vz - gz * vy, gvy = gz * vx - gx * vz, gvz = gx * vy - gy * vx;
    const __m256 gux = gy * uz - gz * uy, guy = gz * ux - gx * uz, guz = gx * uy - gy * ux;
    const __m256 s = abs(gvx * nx + gvy * ny + gvz * nz);
    const __m256 t = abs(gux * nx + guy * ny + guz * nz);
    const __m256 gap = abs(gx) + abs(gy) + abs(gz);
    const __m256 halves = ah + bh;
    const __m256 size = a_size + abs(bx) + abs(by) + abs(bz);
    const __m256 margin = _mm256_set1_ps(2e-5f) * (gap + halves + (size + halves) * n2) +
                          _mm256_set1_ps(2e-4f) * (s + t);
    const __m256 parallel = _mm256_cmp_ps(n2, _mm256_set1_ps(1e-2f), _CMP_LT_OQ);
    const __m256 inside = _mm256_and_ps(_mm256_cmp_ps(s, ah * n2 + margin, _CMP_LE_OQ),
                                        _mm256_cmp_ps(t, bh * n2 + margin, _CMP_LE_OQ));
    unsigned bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_or_ps(parallel, inside)));
    if (count - k < 8) bits &= (1u << (count - k)) - 1;
    // Written behind the entries still to be read, so in place.
    const __m256i lanes =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(kLanePacks.lanes[bits]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(near + kept),
                        _mm256_permutevar8x32_epi32(e, lanes));
    kept += __builtin_popcount(bits);
  }
  return kept;
}
#endif

int interior_narrow(const ContactGrid& g, const PreparedSegment& a, int32_t* near, int count) {
  int kept = 0;
  for (int k = 0; k < count; ++k) {
    if (may_meet_inside(a, g.segment(near[k]))) near[kept++] = near[k];
  }
  return kept;
}

int filter_narrow(const ContactGrid& g, const PreparedSegment& a, float limit, int32_t after,
                  const EntryRange* ranges, int count, int32_t* near) {
  MIKADO_FILTER_BODY(Narrow)
}

struct Filters {
  bool wide;
  int (*cells)(const ContactGrid&, const PreparedSegment&, float, int32_t, const EntryRange*, int,
               int32_t*);
  int (*interior)(const ContactGrid&, const PreparedSegment&, int32_t*, int);
};

Filters choose(bool wide) {
#ifdef MIKADO_HAS_WIDE
  if (wide && wide_filter_available()) return {true, filter_wide, interior_wide};
#else
  (void)wide;
#endif
  return {false, filter_narrow, interior_narrow};
}

Filters chosen = choose(true);

}  // namespace

bool wide_filter_available() {
#ifdef MIKADO_HAS_WIDE
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

void use_wide_filter(bool wide) {
  chosen = choose(wide);
}

bool wide_filter_in_use() {
  return chosen.wide;
}

int scan_cells(const ContactGrid& g, const PreparedSegment& a, float limit, int32_t after,
               const EntryRange* ranges, int count, int32_t* near) {
  return chosen.cells(g, a, limit, after, ranges, count, near);
}

int keep_interior(const ContactGrid& g, const PreparedSegment& a, int32_t* near, int count) {
  return chosen.interior(g, a, near, count);
}

// With u, v the unit directions, n = u x v and g = b.mid - a.mid, the closest points of the
// axes lie at s = (g x v).n / n.n along u from a.mid and t = (g x u).n / n.n along v from b.mid.
// The exact test rounds its unit normal (direction error about 2e-7) and its closest points to
// float32, which moves them by at most about 2e-7 (|g| + |s| + |t|) / |n| plus 2e-7 of their
// coordinates; the margin allows 50 times that. Axes closer to parallel than |n| = 0.1 are left
// to the exact test; above it 1 / |n| <= 1 / n.n <= 100, so the test needs no root or division.
bool may_meet_inside(const PreparedSegment& a, const PreparedSegment& b) {
  double u[3], v[3], g[3], size = 0, gap = 0;
  for (int k = 0; k < 3; ++k) {
    u[k] = a.dir[k];
    v[k] = b.dir[k];
    g[k] = static_cast<double>(b.mid[k]) - a.mid[k];
    size += std::fabs(static_cast<double>(a.mid[k])) + std::fabs(static_cast<double>(b.mid[k]));
    gap += std::fabs(g[k]);
  }
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  const double n2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (n2 < 1e-2) return true;
  const double gv[3] = {g[1] * v[2] - g[2] * v[1], g[2] * v[0] - g[0] * v[2],
                        g[0] * v[1] - g[1] * v[0]};
  const double gu[3] = {g[1] * u[2] - g[2] * u[1], g[2] * u[0] - g[0] * u[2],
                        g[0] * u[1] - g[1] * u[0]};
  const double s = std::fabs(gv[0] * n[0] + gv[1] * n[1] + gv[2] * n[2]);  // |s| n.n
  const double t = std::fabs(gu[0] * n[0] + gu[1] * n[1] + gu[2] * n[2]);  // |t| n.n
  // The margin times n.n: 1e-5 ((gap + |s| + |t| + halves) n.n / |n| + (size + halves) n.n),
  // bounded with n.n / |n| <= 1 and |s| n.n / |n| <= 10 |s| n.n.
  const double halves = a.half + b.half;
  const double margin = 1e-5 * (gap + halves + (size + halves) * n2) + 1e-4 * (s + t);
  return s <= a.half * n2 + margin && t <= b.half * n2 + margin;
}
