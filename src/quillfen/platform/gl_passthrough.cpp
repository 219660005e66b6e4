#include "gl_passthrough.h"

// Windows' GL header needs <windows.h> before it.
#if defined(_WIN32)
#include "win32/win32_include.h"
#endif
#include <GL/gl.h>

namespace gl_passthrough {

const unsigned char* get_string(uint32_t name) {
  return glGetString(name);
}
void viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  glViewport(x, y, width, height);
}
void matrix_mode(uint32_t mode) {
  glMatrixMode(mode);
}
void load_identity() {
  glLoadIdentity();
}
void ortho(double left, double right, double bottom, double top, double z_near, double z_far) {
  glOrtho(left, right, bottom, top, z_near, z_far);
}

}  // namespace gl_passthrough
