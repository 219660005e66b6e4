#include "analysis/circuit_reduction.h"

#include <cstddef>

CircuitReduction reduce_circuit(BigVector<Resistor>& resistors, BigVector<uint8_t>& marked,
                                const BigVector<uint8_t>& free_node) {
  const size_t nodes = free_node.size();
  CircuitReduction out;
  out.kept.assign(resistors.size(), 1);
  out.node_kept.assign(nodes, 1);
  // Each removal adds at most one resistor.
  resistors.reserve(resistors.size() + nodes);
  marked.reserve(resistors.capacity());
  out.kept.reserve(resistors.capacity());
  out.eliminated.reserve(nodes);
  // Each node's resistors; a series replacement takes over its parts' slots, so a node never
  // needs more than it starts with.
  BigVector<int64_t> start(nodes + 1, 0);
  BigVector<int32_t> degree(nodes, 0);
  for (const Resistor& r : resistors) {
    if (r.p == r.q) continue;
    ++degree[r.p];
    ++degree[r.q];
  }
  for (size_t v = 0; v < nodes; ++v) start[v + 1] = start[v] + degree[v];
  BigVector<int32_t> slot(static_cast<size_t>(start[nodes]));
  {
    BigVector<int64_t> next(start.begin(), start.end() - 1);
    for (size_t i = 0; i < resistors.size(); ++i) {
      const Resistor& r = resistors[i];
      if (r.p == r.q) continue;
      slot[next[r.p]++] = static_cast<int32_t>(i);
      slot[next[r.q]++] = static_cast<int32_t>(i);
    }
  }
  // The live resistors of v (at most two are wanted).
  const auto live = [&](int32_t v, int32_t found[2]) {
    int n = 0;
    for (int64_t s = start[v]; s < start[v + 1] && n < 2; ++s) {
      if (out.kept[slot[s]]) found[n++] = slot[s];
    }
    return n;
  };
  const auto replace_slot = [&](int32_t v, int32_t from, int32_t to) {
    for (int64_t s = start[v]; s < start[v + 1]; ++s) {
      if (slot[s] == from) {
        slot[s] = to;
        return;
      }
    }
  };
  // The node across resistor i from v, and the shift that makes V_other + shift the potential
  // v sees through it.
  const auto across = [&](int32_t i, int32_t v, int32_t& other, int32_t& shift) {
    const Resistor& r = resistors[i];
    other = r.p == v ? r.q : r.p;
    shift = r.p == v ? r.k : -r.k;
  };

  BigVector<int32_t> work;
  for (size_t v = 0; v < nodes; ++v) {
    if (free_node[v] && degree[v] <= 2) work.push_back(static_cast<int32_t>(v));
  }
  while (!work.empty()) {
    const int32_t v = work.back();
    work.pop_back();
    if (!out.node_kept[v] || degree[v] > 2) continue;
    int32_t found[2];
    const int n = live(v, found);
    if (n == 0) {
      // Cut off from every held node: no current, any potential; it follows nothing.
      out.node_kept[v] = 0;
      out.eliminated.push_back({v, -1, -1, 0, 0, 0, 0});
      continue;
    }
    int32_t a, sa;
    across(found[0], v, a, sa);
    if (n == 1) {
      out.kept[found[0]] = 0;
      out.node_kept[v] = 0;
      out.eliminated.push_back({v, a, -1, resistors[found[0]].g, 0, sa, 0});
      if (--degree[a] <= 2 && free_node[a]) work.push_back(a);
      continue;
    }
    int32_t b, sb;
    across(found[1], v, b, sb);
    // Two resistors to one neighbour would become a loop on it: left as they are.
    if (a == b) continue;
    const double ga = resistors[found[0]].g, gb = resistors[found[1]].g;
    out.kept[found[0]] = out.kept[found[1]] = 0;
    out.node_kept[v] = 0;
    out.eliminated.push_back({v, a, b, ga, gb, sa, sb});
    // From a through v to b: the current is g (V_a + sa - V_b - sb) with g the series
    // conductance, so the new resistor's k is sb - sa.
    const auto joined = static_cast<int32_t>(resistors.size());
    resistors.push_back({a, b, ga * gb / (ga + gb), sb - sa});
    out.kept.push_back(1);
    marked.push_back(marked[found[0]] || marked[found[1]]);
    replace_slot(a, found[0], joined);
    replace_slot(b, found[1], joined);
  }
  return out;
}

void recover_potentials(const BigVector<Elimination>& eliminated, BigVector<double>& potential) {
  for (size_t i = eliminated.size(); i-- > 0;) {
    const Elimination& e = eliminated[i];
    if (e.a < 0) {
      potential[e.node] = 0;
    } else if (e.b < 0) {
      potential[e.node] = potential[e.a] + e.s_a;
    } else {
      potential[e.node] =
          (e.g_a * (potential[e.a] + e.s_a) + e.g_b * (potential[e.b] + e.s_b)) / (e.g_a + e.g_b);
    }
  }
}
