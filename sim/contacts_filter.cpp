#include "contacts_filter.h"

#include <cmath>

// The filter loop computes flags without branches so that it vectorizes; the compaction of the
// survivors is a loop of its own.
int scan_cell(const ContactGrid& g, const PreparedSegment& a, float limit, int32_t begin,
              int32_t end, uint8_t* keep, int32_t* near, int found) {
  const float ax = a.mid[0], ay = a.mid[1], az = a.mid[2], ah = static_cast<float>(a.half);
  const float ux = a.dir[0], uy = a.dir[1], uz = a.dir[2];
  const float *cx = g.x.data(), *cy = g.y.data(), *cz = g.z.data(), *ch = g.half.data();
  const float *cdx = g.dx.data(), *cdy = g.dy.data(), *cdz = g.dz.data();
  const int32_t count = end - begin;
  cx += begin, cy += begin, cz += begin, ch += begin, cdx += begin, cdy += begin, cdz += begin;
  for (int32_t e = 0; e < count; ++e) {
    const float gx = cx[e] - ax, gy = cy[e] - ay, gz = cz[e] - az;
    const float reach = ah + ch[e];
    const float gap2 = gx * gx + gy * gy + gz * gz;
    const float vx = cdx[e], vy = cdy[e], vz = cdz[e];
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float n2 = nx * nx + ny * ny + nz * nz;
    const float along = nx * gx + ny * gy + nz * gz;
    // Axes farther apart than `limit` along their common normal n (|n.gap| / |n|) never touch.
    // The margins cover the float32 arithmetic here and the rounding of the unit normal in the
    // exact test; parallel axes (n near 0) always pass.
    const float bound = limit * (1 + 1e-5f) + reach * 1e-5f;
    const float slack = reach * 4e-6f;
    // |along| <= bound * sqrt(n2 + 4e-6) + slack, squared without the root: the cross term
    // 2xy is at most 0.01x^2 + 100y^2.
    const bool close = along * along <= 1.01f * bound * bound * (n2 + 4e-6f) + 101 * slack * slack;
    const bool in_reach = gap2 <= reach * reach * (1 + 1e-5f);
    keep[e] = in_reach & close;
  }
  for (int32_t e = 0; e < count; ++e) {
    near[found] = begin + e;
    found += keep[e];
  }
  return found;
}

// With u, v the unit directions, n = u x v and g = b.mid - a.mid, the closest points of the
// axes lie at s = (g x v).n / n.n along u from a.mid and t = (g x u).n / n.n along v from b.mid.
// The exact test rounds its unit normal (direction error about 2e-7) and its closest points to
// float32, which moves them by at most about 2e-7 (|g| + |s| + |t|) / |n| plus 2e-7 of their
// coordinates; the margin is 50 times that. Nearly parallel axes are left to the exact test.
bool may_meet_inside(const PreparedSegment& a, const PreparedSegment& b) {
  double u[3], v[3], g[3], size = a.half + b.half;
  for (int k = 0; k < 3; ++k) {
    u[k] = a.dir[k];
    v[k] = b.dir[k];
    g[k] = static_cast<double>(b.mid[k]) - a.mid[k];
    size += std::fabs(static_cast<double>(a.mid[k])) + std::fabs(static_cast<double>(b.mid[k]));
  }
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  const double n2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (n2 < 1e-6) return true;
  const double gv[3] = {g[1] * v[2] - g[2] * v[1], g[2] * v[0] - g[0] * v[2],
                        g[0] * v[1] - g[1] * v[0]};
  const double gu[3] = {g[1] * u[2] - g[2] * u[1], g[2] * u[0] - g[0] * u[2],
                        g[0] * u[1] - g[1] * u[0]};
  const double s = std::fabs(gv[0] * n[0] + gv[1] * n[1] + gv[2] * n[2]) / n2;
  const double t = std::fabs(gu[0] * n[0] + gu[1] * n[1] + gu[2] * n[2]) / n2;
  const double gap = std::fabs(g[0]) + std::fabs(g[1]) + std::fabs(g[2]);
  const double margin = 1e-5 * ((gap + s + t + a.half + b.half) / std::sqrt(n2) + size);
  return s <= a.half + margin && t <= b.half + margin;
}
