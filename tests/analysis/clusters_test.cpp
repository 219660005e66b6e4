#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "analysis/cluster_report.h"
#include "analysis/clusters.h"
#include "periodic_image.h"

namespace {

const double kBox = 2e-6f;  // the default box side, exactly twice the float32 half-side
const float kHalf = 1e-6f;

// Components of a random graph by breadth-first search, the reference for the union-find.
struct Reference {
  std::vector<int32_t> id;
  std::vector<uint8_t> spans;
  int32_t count = 0, largest = 0, largest_id = -1;
  int32_t cyclic_without_wrap = 0, wrapping = 0;  // how much the periodic case exercised
};

Reference search(const std::vector<Fiber>& fibers, const std::vector<Contact>& contacts,
                 bool periodic) {
  const int32_t n = static_cast<int32_t>(fibers.size());
  struct Edge {
    int32_t to;
    std::array<int, 3> shift;  // image of `to` next to the fiber the edge leaves
  };
  std::vector<std::vector<Edge>> adjacent(n);
  for (const Contact& c : contacts) {
    const Vec3 mi = fiber_midpoint(fibers[c.first]), mj = fiber_midpoint(fibers[c.second]);
    std::array<int, 3> k{};
    for (int a = 0; a < 3; ++a) k[a] = static_cast<int>(image_shift(mi[a], mj[a], kBox));
    adjacent[c.first].push_back({c.second, k});
    adjacent[c.second].push_back({c.first, {-k[0], -k[1], -k[2]}});
  }
  Reference r;
  r.id.assign(n, -1);
  r.spans.assign(n, 0);
  std::vector<std::array<int, 3>> image(n);
  for (int32_t s = 0; s < n; ++s) {
    if (r.id[s] >= 0) continue;
    std::vector<int32_t> members{s};
    r.id[s] = s;
    image[s] = {};
    int edges = 0;
    for (size_t q = 0; q < members.size(); ++q) {
      const int32_t f = members[q];
      for (const Edge& e : adjacent[f]) {
        ++edges;
        std::array<int, 3> at;
        for (int a = 0; a < 3; ++a) at[a] = image[f][a] + e.shift[a];
        if (r.id[e.to] < 0) {
          r.id[e.to] = s;
          image[e.to] = at;
          members.push_back(e.to);
        } else {
          for (int a = 0; a < 3; ++a) {
            if (periodic && at[a] != image[e.to][a]) r.spans[s] |= 1 << a;
          }
        }
      }
    }
    if (!periodic) {
      for (int a = 0; a < 3; ++a) {
        float lo = 1, hi = -1;
        for (int32_t f : members) {
          lo = std::min({lo, fibers[f].start[a], fibers[f].end[a]});
          hi = std::max({hi, fibers[f].start[a], fibers[f].end[a]});
        }
        if (lo <= -kHalf && hi >= kHalf) r.spans[s] |= 1 << a;
      }
    }
    ++r.count;
    if (static_cast<int32_t>(members.size()) > r.largest) {
      r.largest = static_cast<int32_t>(members.size());
      r.largest_id = s;
    }
    r.wrapping += r.spans[s] != 0;
    r.cyclic_without_wrap += r.spans[s] == 0 && edges / 2 >= static_cast<int>(members.size());
  }
  return r;
}

TEST(Clusters, UnionFindAgreesWithGraphSearchOnRandomGraphs) {
  std::mt19937 random(7);
  const auto uniform = [&random](double lo, double hi) {
    return lo + (hi - lo) * (random() / 4294967296.0);
  };
  int cyclic_without_wrap = 0, wrapping = 0;
  for (bool periodic : {false, true}) {
    for (int32_t n : {0, 1, 2, 50, 300, 1000}) {
      for (double degree : {0.3, 0.9, 1.2, 3.0}) {
        std::vector<Fiber> fibers(n);
        for (Fiber& f : fibers) {
          const int axis = static_cast<int>(random() % 3);
          for (int a = 0; a < 3; ++a) {
            const float m = static_cast<float>(uniform(-kHalf, kHalf));
            const float reach = a == axis ? 3e-7f : 0.0f;
            f.start[a] = m - reach;
            f.end[a] = m + reach;
          }
        }
        // Random pairs in random order, as the contact list of any network might join them.
        std::vector<Contact> contacts;
        for (int c = 0; n > 1 && c < static_cast<int>(degree * n / 2); ++c) {
          const int32_t i = static_cast<int32_t>(random() % n),
                        j = static_cast<int32_t>(random() % n);
          if (i != j) contacts.push_back({std::min(i, j), std::max(i, j), 0, {}});
        }
        const Reference want = search(fibers, contacts, periodic);
        const ClusterResult got =
            find_clusters(fibers.data(), n, contacts.data(), static_cast<int32_t>(contacts.size()),
                          kBox, periodic);
        const auto what = testing::Message()
                          << "periodic " << periodic << ", " << n << " fibers, degree " << degree;
        ASSERT_EQ(got.cluster_of, want.id) << what;
        ASSERT_EQ(got.spans, want.spans) << what;
        EXPECT_EQ(got.num_clusters, want.count) << what;
        EXPECT_EQ(got.largest, want.largest) << what;
        EXPECT_EQ(got.largest_id, want.largest_id) << what;
        for (int a = 0; a < 3; ++a) {
          const bool any = std::any_of(want.spans.begin(), want.spans.end(),
                                       [a](uint8_t s) { return (s >> a & 1) != 0; });
          EXPECT_EQ(got.spanning[a], any) << what << ", axis " << a;
        }
        EXPECT_DOUBLE_EQ(got.contacts_per_fiber, n ? 2.0 * contacts.size() / n : 0.0) << what;
        if (periodic) {
          cyclic_without_wrap += want.cyclic_without_wrap;
          wrapping += want.wrapping;
        }
      }
    }
  }
  // Both outcomes of a cycle in the periodic box were tried.
  EXPECT_GT(cyclic_without_wrap, 0);
  EXPECT_GT(wrapping, 0);
}

// Fibers along x, 2e-7 long, every 8e-8 from x = -box/2: each touches only its neighbours.
std::vector<Fiber> chain(int count, float y) {
  std::vector<Fiber> fibers(count);
  for (int k = 0; k < count; ++k) {
    const float x = static_cast<float>(-1e-6 + 8e-8 * k);
    const float z = k % 2 ? 1e-9f : 0.0f;
    fibers[k] = {{x, y, z}, {x + 2e-7f, y, z}};
  }
  return fibers;
}

std::vector<Contact> neighbour_contacts(int count, int skip) {
  std::vector<Contact> contacts;
  for (int k = 0; k + 1 < count; ++k) {
    if (k != skip) contacts.push_back({k, k + 1, 0, {}});
  }
  return contacts;
}

ClusterResult clusters_of(const std::vector<Fiber>& fibers, const std::vector<Contact>& contacts,
                          bool periodic) {
  return find_clusters(fibers.data(), static_cast<int32_t>(fibers.size()), contacts.data(),
                       static_cast<int32_t>(contacts.size()), kBox, periodic);
}

TEST(Clusters, ChainAcrossTheOpenBoxSpansWhenItReachesBothFaces) {
  // 24 fibers, the first starting exactly on the lower face, the last ending exactly on the
  // upper one.
  std::vector<Fiber> fibers = chain(24, 0.0f);
  fibers[23] = {{kHalf - 2e-7f, 0, 1e-9f}, {kHalf, 0, 1e-9f}};
  // Turning the first fiber round changes nothing: either end may reach the face.
  std::swap(fibers[0].start, fibers[0].end);
  const std::vector<Contact> contacts = neighbour_contacts(24, -1);
  ClusterResult r = clusters_of(fibers, contacts, false);
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.largest, 24);
  EXPECT_TRUE(r.spanning[0]);
  EXPECT_FALSE(r.spanning[1]);
  EXPECT_FALSE(r.spanning[2]);
  EXPECT_EQ(r.spans[0], 1);
  EXPECT_DOUBLE_EQ(r.contacts_per_fiber, 2.0 * 23 / 24);

  // One ulp short of the upper face.
  fibers[23].end[0] = std::nextafter(kHalf, 0.0f);
  r = clusters_of(fibers, contacts, false);
  EXPECT_FALSE(r.spanning[0]);
  EXPECT_EQ(r.spans[0], 0);
}

TEST(Clusters, TwoClustersJoinedByOneContact) {
  std::vector<Fiber> fibers = chain(24, 0.0f);
  fibers[23] = {{kHalf - 2e-7f, 0, 1e-9f}, {kHalf, 0, 1e-9f}};
  // Without the contact between 11 and 12: two equally large halves, each reaching one face.
  ClusterResult r = clusters_of(fibers, neighbour_contacts(24, 11), false);
  EXPECT_EQ(r.num_clusters, 2);
  EXPECT_EQ(r.largest, 12);
  EXPECT_EQ(r.largest_id, 0);
  EXPECT_EQ(r.cluster_of[11], 0);
  EXPECT_EQ(r.cluster_of[12], 12);
  EXPECT_EQ(r.cluster_of[23], 12);
  EXPECT_FALSE(r.spanning[0]);

  // The joining contact listed last, after both halves have their roots.
  std::vector<Contact> contacts = neighbour_contacts(24, 11);
  contacts.push_back({11, 12, 0, {}});
  r = clusters_of(fibers, contacts, false);
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.largest, 24);
  EXPECT_EQ(r.cluster_of[23], 0);
  EXPECT_TRUE(r.spanning[0]);
  EXPECT_EQ(r.spans[12], 0);  // only a cluster's id carries its flags
}

TEST(Clusters, RingWrapsThePeriodicBoxOnlyWhenClosedAroundIt) {
  // 25 fibers round the box along x; the last touches the first across the faces.
  std::vector<Fiber> fibers = chain(25, 0.0f);
  std::vector<Contact> contacts = neighbour_contacts(25, -1);
  contacts.push_back({0, 24, 0, {}});
  ClusterResult r = clusters_of(fibers, contacts, true);
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.spans[0], 1);
  EXPECT_TRUE(r.spanning[0]);
  EXPECT_FALSE(r.spanning[1]);

  // Cut at 11-12: still one cluster joined across the faces, but it does not wrap.
  contacts = neighbour_contacts(25, 11);
  contacts.push_back({0, 24, 0, {}});
  r = clusters_of(fibers, contacts, true);
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.spans[0], 0);

  // A triangle across the faces (shifts 1, 0 and -1 along its edges) is a cycle that does not
  // wrap either.
  const std::vector<Fiber> triangle = {{{0.9e-6f, 0, 0}, {1.0e-6f, 0, 0}},
                                       {{-1.0e-6f, 0, 0}, {-0.9e-6f, 0, 0}},
                                       {{0.85e-6f, 0, 0}, {0.95e-6f, 0, 0}}};
  r = clusters_of(triangle, {{0, 1, 0, {}}, {0, 2, 0, {}}, {1, 2, 0, {}}}, true);
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.spans[0], 0);
}

// A box periodic along x only, with sides that differ: the ring wraps x, and a fiber joined to it
// that reaches both faces of the thin open y side spans y; the same fiber in a box periodic along
// y too does not, since it does not wrap around it.
TEST(Clusters, MixedAxesSpanByWrappingOrByFacesEach) {
  std::vector<Fiber> fibers = chain(25, 0.0f);
  fibers.push_back({{-1e-6f, -2.5e-7f, 0}, {-1e-6f, 2.5e-7f, 0}});
  std::vector<Contact> contacts = neighbour_contacts(25, -1);
  contacts.push_back({0, 24, 0, {}});
  contacts.push_back({0, 25, 0, {}});
  const std::array<double, 3> side{kBox, 5e-7f, kBox};
  const auto run = [&](std::array<bool, 3> periodic) {
    return find_clusters(fibers.data(), 26, contacts.data(), static_cast<int32_t>(contacts.size()),
                         side, periodic);
  };
  ClusterResult r = run({true, false, false});
  EXPECT_EQ(r.num_clusters, 1);
  EXPECT_EQ(r.spans[0], 3);
  r = run({true, true, false});
  EXPECT_EQ(r.spans[0], 1);
  // Open along x, periodic along y: the chain reaches both faces of x, and nothing wraps y.
  r = run({false, true, false});
  EXPECT_EQ(r.spans[0], 1);
}

TEST(ClusterReport, MarksTheLargestAndOtherSpanningClusters) {
  ClusterResult r;
  r.cluster_of = {0, 0, 2, 2, 0, 5, 6, 6};
  r.spans = {1, 0, 4, 0, 0, 0, 2, 0};
  r.largest_id = 0;  // spans, yet marked as the largest
  EXPECT_EQ(cluster_marks(r), (std::vector<uint8_t>{1, 1, 2, 2, 1, 0, 2, 2}));
}

TEST(ClusterReport, StatsLine) {
  ClusterResult r;
  r.num_clusters = 3;
  r.largest = 17;
  r.contacts_per_fiber = 1.25;
  r.spanning[0] = true;
  r.spanning[2] = true;
  EXPECT_EQ(format_cluster_stats(r),
            "clusters 3;largest 17;contacts per fiber 1.25;spanning x 1 y 0 z 1");
}

}  // namespace
