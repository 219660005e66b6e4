#pragma once

#include <cstdint>
#include <vector>

#include "analysis/huge_pages.h"

// Exact reduction of a resistor network before it is solved: a node with one resistor is a dead
// end and carries no current; a node with two is a series connection, replaced by one resistor
// between its neighbours. Repeated until every free node left joins three or more resistors,
// this removes most of a fiber network's nodes (each fiber's end nodes, fibers touching the
// network once) and with them the stiffest couplings, a junction in series with a short piece.

// Between nodes p and q, q taken k periods further along (k volts higher): the current from p
// to q is g (V_p - V_q - k).
struct Resistor {
  int32_t p, q;
  double g;
  int32_t k;
};

// A removed node's potential from two of the remaining ones: (g_a (V_a + s_a) + g_b (V_b + s_b))
// / (g_a + g_b), or V_a + s_a for a dead end (b < 0).
struct Elimination {
  int32_t node, a, b;
  double g_a, g_b;
  int32_t s_a, s_b;
};

struct CircuitReduction {
  BigVector<uint8_t> kept;            // per resistor, the appended ones included
  BigVector<uint8_t> node_kept;       // per node
  BigVector<Elimination> eliminated;  // in the order of removal
};

// `free_node[v]` says whether v's potential is unknown (held nodes are never removed).
// Appends the series resistors to `resistors` (and, for each, whether either part was in
// `marked`, to `marked`).
CircuitReduction reduce_circuit(BigVector<Resistor>& resistors, BigVector<uint8_t>& marked,
                                const BigVector<uint8_t>& free_node);

// Fills in the potentials of the removed nodes from those of the kept ones.
void recover_potentials(const BigVector<Elimination>& eliminated, BigVector<double>& potential);
