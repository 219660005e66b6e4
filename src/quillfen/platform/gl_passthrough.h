#pragma once

// The GL calls of the platform table, passed straight to the system's GL library on the context
// current on the calling thread. The backends with a real GL (win32, x11) share them.

#include <cstdint>

#include "platform.h"

namespace gl_passthrough {

const unsigned char* get_string(uint32_t name);
void viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void matrix_mode(uint32_t mode);
void load_identity();
void ortho(double left, double right, double bottom, double top, double z_near, double z_far);

}  // namespace gl_passthrough
