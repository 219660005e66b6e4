#pragma once

#include <cstdint>

#include "network.h"

// Places `num_fibers` fibers into the network, continuing its random stream: centres uniform in
// the box (box_min to box_max), directions uniform over the sphere. The network must hold at
// least `num_fibers` fibers (size_network).
void place_fibers();

// The same for `count` fibers of length `length` into `out`, continuing `stream`, with centres in
// the box from `box_lo` to `box_hi` (the settings' box_min and box_max when not given).
void place_fibers_into(Fiber* out, int32_t count, float length, RandomStream& stream);
void place_fibers_into(Fiber* out, int32_t count, float length, const float box_lo[3],
                       const float box_hi[3], RandomStream& stream);

// Whether placement may run the AVX2 version of its generator and shell marks where the CPU has
// it (the default) or the SSE2 one; both give the same fibers and stream.
void use_wide_draws(bool wide);
