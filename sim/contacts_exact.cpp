#include "contacts_exact.h"

#include <immintrin.h>

#include "contacts_filter.h"

namespace {

// One pair as the plain loop takes it, lower index first.
bool exact_one(const ContactGrid& g, const PreparedSegment& a, int32_t i, int32_t e, float limit,
               Touch& t) {
  const PreparedSegment b = g.segment(e);
  const bool touch = i < g.index[e] ? prepared_contact(a, b, &t.distance, t.point)
                                    : prepared_contact(b, a, &t.distance, t.point);
  t.entry = e;
  return touch && !(t.distance > limit);
}

int exact_narrow(const ContactGrid& g, const PreparedSegment& a, int32_t i, const int32_t* near,
                 int count, float limit, Touch* out) {
  int kept = 0;
  for (int k = 0; k < count; ++k) kept += exact_one(g, a, i, near[k], limit, out[kept]);
  return kept;
}

#if !defined(_WIN32)
#define MIKADO_HAS_WIDE 1

// The wide vectors never cross a function boundary: everything below is inlined into
// exact_wide, so the ABI note on 32-byte vector arguments does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#define MIKADO_WIDE __attribute__((target("avx2"), always_inline))

using D = __m256d;

struct Lanes {
  D x, y, z;
};

MIKADO_WIDE inline D dot(const Lanes& a, const Lanes& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
MIKADO_WIDE inline Lanes cross(const Lanes& a, const Lanes& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
MIKADO_WIDE inline Lanes minus(const Lanes& a, const Lanes& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
MIKADO_WIDE inline Lanes add_scaled(const Lanes& p, const Lanes& d, D s) {
  return {p.x + d.x * s, p.y + d.y * s, p.z + d.z * s};
}
// Rounded to float32 and widened again: what storing a value does in the scalar test.
MIKADO_WIDE inline D stored(D v) {
  return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}
MIKADO_WIDE inline Lanes stored(const Lanes& v) {
  return {stored(v.x), stored(v.y), stored(v.z)};
}
MIKADO_WIDE inline D abs(D v) {
  return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}
MIKADO_WIDE inline D pick(D when_false, D when_true, D mask) {
  return _mm256_blendv_pd(when_false, when_true, mask);
}
MIKADO_WIDE inline Lanes pick(const Lanes& when_false, const Lanes& when_true, D mask) {
  return {pick(when_false.x, when_true.x, mask), pick(when_false.y, when_true.y, mask),
          pick(when_false.z, when_true.z, mask)};
}
MIKADO_WIDE inline D below(D a, double b) {
  return _mm256_cmp_pd(a, _mm256_set1_pd(b), _CMP_LT_OQ);
}
// !(a >= b), true on NaN as the scalar test's else branches are.
MIKADO_WIDE inline D not_at_least(D a, D b) {
  return _mm256_cmp_pd(a, b, _CMP_NGE_UQ);
}
MIKADO_WIDE inline D widen_mask(__m128i m) {
  return _mm256_castsi256_pd(_mm256_cvtepi32_epi64(m));
}
MIKADO_WIDE inline D column(const float* c, __m128i e) {
  return _mm256_cvtps_pd(_mm_i32gather_ps(c, e, 4));
}

// prepared_contact on four pairs, lane by lane the same operations. Sets the touching lanes in the
// returned mask's low four bits, and in `odd` those lanes that took a degenerate branch, whose
// results are not the scalar test's.
MIKADO_WIDE inline unsigned exact_four(const ContactGrid& g, const PreparedSegment& a, int32_t i,
                                       __m128i e, float limit, unsigned& odd, float* distance,
                                       float (*point)[4]) {
  const __m128i j = _mm_i32gather_epi32(g.index.data(), e, 4);
  // Lanes where a is the first of the pair.
  const D a_first = widen_mask(_mm_cmpgt_epi32(j, _mm_set1_epi32(i)));
  const Lanes am = {_mm256_set1_pd(a.mid[0]), _mm256_set1_pd(a.mid[1]), _mm256_set1_pd(a.mid[2])};
  const Lanes ad = {_mm256_set1_pd(a.dir[0]), _mm256_set1_pd(a.dir[1]), _mm256_set1_pd(a.dir[2])};
  const D ah = _mm256_set1_pd(a.half);
  const Lanes bm = {column(g.x.data(), e), column(g.y.data(), e), column(g.z.data(), e)};
  const Lanes bd = {column(g.dx.data(), e), column(g.dy.data(), e), column(g.dz.data(), e)};
  // The masked form: GCC warns about the undefined source of the plain one.
  const D all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  const D bh = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), g.exact_half.data(), e, all, 8);
  const Lanes p1 = pick(bm, am, a_first), d1 = pick(bd, ad, a_first);
  const Lanes p2 = pick(am, bm, a_first), d2 = pick(ad, bd, a_first);
  const D h1 = pick(bh, ah, a_first), h2 = pick(ah, bh, a_first);

  // The midpoint rejection.
  const Lanes m = minus(p2, p1);
  const D closer = _mm256_cmp_pd(_mm256_sqrt_pd(dot(m, m)), h1 + h2, _CMP_LT_OQ);

  // The closest points of the two lines.
  const Lanes n = cross(d1, d2);
  const D ell = stored(_mm256_sqrt_pd(dot(n, n)));
  const D parallel = below(ell, 1e-24);
  const Lanes nu = stored(Lanes{n.x / ell, n.y / ell, n.z / ell});
  const D o = dot(nu, p1);
  const __m128 dist = _mm256_cvtpd_ps(abs(dot(nu, p2) - o));
  const Lanes w = cross(d1, nu);
  const D v = dot(w, p1);
  const D big_w = dot(w, d2);
  const D flat = not_at_least(abs(big_w), _mm256_set1_pd(1e-24));
  const Lanes out2 = stored(add_scaled(p2, d2, (v - dot(w, p2)) / big_w));
  const D nu2 = dot(nu, nu);
  const D no_normal = below(nu2, 1e-24);
  const Lanes out1 = stored(add_scaled(out2, nu, (o - dot(nu, out2)) / nu2));

  // Both closest points strictly inside their segments.
  const Lanes e1 = minus(out1, p1), e2 = minus(out2, p2);
  const D inside =
      _mm256_and_pd(not_at_least(dot(e1, e1), h1 * h1), not_at_least(dot(e2, e2), h2 * h2));
  const D near_enough =  // !(distance > limit)
      widen_mask(_mm_castps_si128(_mm_cmp_ps(dist, _mm_set1_ps(limit), _CMP_NGT_UQ)));
  const D half = _mm256_set1_pd(0.5);
  _mm_storeu_ps(distance, dist);
  _mm_storeu_ps(point[0], _mm256_cvtpd_ps((out1.x + out2.x) * half));
  _mm_storeu_ps(point[1], _mm256_cvtpd_ps((out1.y + out2.y) * half));
  _mm_storeu_ps(point[2], _mm256_cvtpd_ps((out1.z + out2.z) * half));
  odd = static_cast<unsigned>(_mm256_movemask_pd(
      _mm256_and_pd(closer, _mm256_or_pd(parallel, _mm256_or_pd(flat, no_normal)))));
  return static_cast<unsigned>(
      _mm256_movemask_pd(_mm256_and_pd(closer, _mm256_and_pd(inside, near_enough))));
}

__attribute__((target("avx2"))) int exact_wide(const ContactGrid& g, const PreparedSegment& a,
                                               int32_t i, const int32_t* near, int count,
                                               float limit, Touch* out) {
  int kept = 0;
  for (int k = 0; k < count; k += 4) {
    const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(near + k));
    const int lanes = count - k < 4 ? count - k : 4;
    float distance[4], point[3][4];
    unsigned odd;
    const unsigned touch = exact_four(g, a, i, e, limit, odd, distance, point);
    for (int l = 0; l < lanes; ++l) {
      Touch& t = out[kept];
      if (odd & (1u << l)) {
        kept += exact_one(g, a, i, near[k + l], limit, t);
      } else if (touch & (1u << l)) {
        t = {near[k + l], distance[l], {point[0][l], point[1][l], point[2][l]}};
        ++kept;
      }
    }
  }
  return kept;
}
#endif

}  // namespace

int exact_contacts(const ContactGrid& g, const PreparedSegment& a, int32_t i, const int32_t* near,
                   int count, float limit, Touch* out) {
  int kept;
#ifdef MIKADO_HAS_WIDE
  if (wide_filter_in_use())
    kept = exact_wide(g, a, i, near, count, limit, out);
  else
#endif
    kept = exact_narrow(g, a, i, near, count, limit, out);
  if (g.diameters == nullptr) return kept;
  // Within the widest diameter, the pairs kept are a superset: each is held to its own.
  int held = 0;
  for (int k = 0; k < kept; ++k) {
    const float own = pair_diameter(g.diameters[i], g.diameters[g.index[out[k].entry]]);
    if (!(out[k].distance > own)) out[held++] = out[k];
  }
  return held;
}
