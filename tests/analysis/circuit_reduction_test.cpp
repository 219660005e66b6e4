#include "analysis/circuit_reduction.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Nodes 0 (held at 0 V) and 4 (held at 1 V) joined by the series chain 0 - 1 - 2 - 4, with the
// spur 1 - 3 hanging off node 1 and steps of the period on the way.
TEST(CircuitReduction, SeriesChainAndSpurCollapseToOneResistorAndComeBack) {
  BigVector<Resistor> resistors{
      {0, 1, 2.0, 0},   // 0 -> 1
      {2, 1, 3.0, 1},   // written from 2 to 1, one period up
      {2, 4, 6.0, -2},  // 2 -> 4
      {3, 1, 5.0, 1},   // the spur, written from its far end
  };
  BigVector<uint8_t> wire{1, 0, 1, 0};
  const BigVector<uint8_t> free_node{0, 1, 1, 1, 0};
  const CircuitReduction r = reduce_circuit(resistors, wire, free_node);

  EXPECT_EQ(r.node_kept, (BigVector<uint8_t>{1, 0, 0, 0, 1}));
  ASSERT_EQ(r.eliminated.size(), 3u);
  // One live resistor from 0 to 4: 1 / (1/2 + 1/3 + 1/6) = 1 S; the steps add up along the way
  // 0 -> 1 (0), 1 -> 2 (-1, the step of 2 -> 1 reversed), 2 -> 4 (-2).
  int live = -1;
  for (size_t i = 0; i < resistors.size(); ++i) {
    if (!r.kept[i]) continue;
    ASSERT_EQ(live, -1) << "more than one resistor left";
    live = static_cast<int>(i);
  }
  ASSERT_GE(live, 4);
  const Resistor& joined = resistors[live];
  const double sign = joined.p == 0 ? 1 : -1;
  EXPECT_EQ(joined.p == 0 ? joined.q : joined.p, 4);
  EXPECT_NEAR(joined.g, 1.0, 1e-15);
  EXPECT_EQ(sign * joined.k, -3);
  EXPECT_TRUE(wire[live]);  // a wire took part in it

  // With V0 = 0 and V4 = 1 the current 0 -> 4 is 1 * (0 - 1 + 3) = 2 A; every resistor of the
  // chain carries it, and the spur none.
  BigVector<double> v{0, 99, 99, 99, 1};
  recover_potentials(r.eliminated, v);
  const auto current = [&](const Resistor& e) { return e.g * (v[e.p] - v[e.q] - e.k); };
  EXPECT_NEAR(current(resistors[0]), 2, 1e-12);
  EXPECT_NEAR(current(resistors[1]), -2, 1e-12);
  EXPECT_NEAR(current(resistors[2]), 2, 1e-12);
  EXPECT_NEAR(current(resistors[3]), 0, 1e-12);
}

// A node whose two resistors both lead to one neighbour would become a loop on it: it stays,
// and so does a node held at its potential however few resistors it has.
TEST(CircuitReduction, LeavesLoopsAndHeldNodes) {
  BigVector<Resistor> resistors{
      {0, 1, 1.0, 0}, {1, 0, 1.0, 1}, {0, 2, 1.0, 0}, {2, 3, 1.0, 0}, {0, 3, 1.0, 0}};
  BigVector<uint8_t> wire(resistors.size(), 0);
  const CircuitReduction r = reduce_circuit(resistors, wire, {1, 1, 0, 1});
  EXPECT_TRUE(r.node_kept[1]);
  EXPECT_TRUE(r.node_kept[2]);
  EXPECT_TRUE(r.kept[0] && r.kept[1]);
  // Node 3 (free, two resistors to 2 and 0) is in series.
  EXPECT_FALSE(r.node_kept[3]);
}

}  // namespace
