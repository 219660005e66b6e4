#include "analysis/clusters.h"

#include <array>

#include "periodic_image.h"

namespace {

using Offset = std::array<int32_t, 3>;

// Union-find whose root is always the smallest member, so a root is its cluster's id. With
// offsets on, each fiber also carries the image (in box sides, per axis) at which it sits relative
// to its parent; `flags` collects per root the axes along which a cycle disagreed.
class ImageUnionFind {
 public:
  ImageUnionFind(std::vector<int32_t>& parent, std::vector<uint8_t>& flags, bool offsets)
      : parent_(parent), flags_(flags) {
    for (size_t f = 0; f < parent_.size(); ++f) parent_[f] = static_cast<int32_t>(f);
    if (offsets) offset_.assign(parent_.size(), Offset{});
  }

  // The root of `f`; `to_root` gets f's offset relative to it. Halves the path on the way.
  int32_t find(int32_t f, Offset& to_root) {
    to_root = {};
    while (parent_[f] != f) {
      const int32_t p = parent_[f];
      if (!offset_.empty()) {
        // A root's own offset is zero, so this holds also when p is the root.
        for (int a = 0; a < 3; ++a) offset_[f][a] += offset_[p][a];
        for (int a = 0; a < 3; ++a) to_root[a] += offset_[f][a];
      }
      parent_[f] = parent_[p];
      f = parent_[p];
    }
    return f;
  }

  // Joins i and j, where j's image shifted by `shift` box sides touches i.
  void unite(int32_t i, int32_t j, const Offset& shift) {
    Offset oi, oj;
    const int32_t ri = find(i, oi), rj = find(j, oj);
    // Offset of rj's frame in ri's frame, placing j at oi + shift.
    Offset d;
    for (int a = 0; a < 3; ++a) d[a] = oi[a] + shift[a] - oj[a];
    if (ri == rj) {
      for (int a = 0; a < 3; ++a) {
        if (d[a] != 0) flags_[ri] |= static_cast<uint8_t>(1 << a);
      }
      return;
    }
    const int32_t root = ri < rj ? ri : rj, child = ri < rj ? rj : ri;
    parent_[child] = root;
    flags_[root] |= flags_[child];
    flags_[child] = 0;
    if (!offset_.empty()) {
      for (int a = 0; a < 3; ++a) offset_[child][a] = ri < rj ? d[a] : -d[a];
    }
  }

 private:
  std::vector<int32_t>& parent_;
  std::vector<uint8_t>& flags_;
  std::vector<Offset> offset_;
};

// Bits 0-2: the fiber reaches the lower face of x, y, z; bits 3-5: the upper face.
uint8_t faces_reached(const Fiber& f, const std::array<double, 3>& side) {
  uint8_t bits = 0;
  for (int a = 0; a < 3; ++a) {
    const double half = side[a] * 0.5;
    if (f.start[a] <= -half || f.end[a] <= -half) bits |= static_cast<uint8_t>(1 << a);
    if (f.start[a] >= half || f.end[a] >= half) bits |= static_cast<uint8_t>(8 << a);
  }
  return bits;
}

}  // namespace

ClusterResult find_clusters(const Fiber* fibers, int32_t num_fibers, const Contact* contacts,
                            int32_t num_contacts, double box, bool periodic) {
  return find_clusters(fibers, num_fibers, contacts, num_contacts, {box, box, box},
                       {periodic, periodic, periodic});
}

ClusterResult find_clusters(const Fiber* fibers, int32_t num_fibers, const Contact* contacts,
                            int32_t num_contacts, const std::array<double, 3>& side,
                            const std::array<bool, 3>& periodic) {
  ClusterResult r;
  const size_t n = num_fibers > 0 ? static_cast<size_t>(num_fibers) : 0;
  r.cluster_of.resize(n);
  r.spans.assign(n, 0);
  Periods period{};
  uint8_t wrapping = 0;  // the periodic axes' bits
  for (int a = 0; a < 3; ++a) {
    if (!periodic[a]) continue;
    period[a] = side[a];
    wrapping |= static_cast<uint8_t>(1 << a);
  }
  ImageUnionFind sets(r.cluster_of, r.spans, wrapping != 0);
  for (int32_t c = 0; c < num_contacts; ++c) {
    const int32_t i = contacts[c].first, j = contacts[c].second;
    Offset shift{};
    if (wrapping != 0) {
      const Vec3 mi = fiber_midpoint(fibers[i]), mj = fiber_midpoint(fibers[j]);
      for (int a = 0; a < 3; ++a)
        shift[a] = static_cast<int32_t>(image_shift(mi[a], mj[a], period[a]));
    }
    sets.unite(i, j, shift);
  }

  Offset unused;
  for (size_t f = 0; f < n; ++f) r.cluster_of[f] = sets.find(static_cast<int32_t>(f), unused);
  // Along a periodic axis a cluster spans when it wraps around it, along an open one when it
  // reaches both faces.
  if (wrapping != 7) {
    std::vector<uint8_t> faces(n, 0);
    for (size_t f = 0; f < n; ++f) faces[r.cluster_of[f]] |= faces_reached(fibers[f], side);
    for (size_t f = 0; f < n; ++f)
      r.spans[f] = static_cast<uint8_t>((r.spans[f] & wrapping) |
                                        (faces[f] & (faces[f] >> 3) & ~wrapping & 7));
  }

  std::vector<int32_t> size(n, 0);
  for (size_t f = 0; f < n; ++f) ++size[r.cluster_of[f]];
  for (size_t f = 0; f < n; ++f) {
    if (size[f] == 0) continue;
    ++r.num_clusters;
    if (size[f] > r.largest) {
      r.largest = size[f];
      r.largest_id = static_cast<int32_t>(f);
    }
    for (int a = 0; a < 3; ++a) r.spanning[a] = r.spanning[a] || (r.spans[f] >> a & 1) != 0;
  }
  r.contacts_per_fiber = n > 0 ? 2.0 * num_contacts / static_cast<double>(n) : 0.0;
  return r;
}
