#pragma once

#include <array>

// A point or vector: three float32 values (x, y, z).
using Vec3 = std::array<float, 3>;
