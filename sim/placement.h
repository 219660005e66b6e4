#pragma once

// Places `num_fibers` fibers into the network, continuing its random stream.
void place_fibers();
