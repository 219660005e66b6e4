#pragma once

// Places `num_fibers` fibers into the network, continuing its random stream: centres uniform in
// the cube box_min..box_max (its x extent serves every axis), directions uniform on the sphere.
void place_fibers();
