#pragma once

// Places `num_fibers` fibers into the network, continuing its random stream: centres uniform in
// the box (box_min to box_max), directions uniform over the sphere. The network must hold at
// least `num_fibers` fibers (size_network).
void place_fibers();
