#include "platform.h"

// The backend a program gets by default. A backend defines its table accessor and the build
// names it with QUILLFEN_NATIVE_BACKEND_WIN32 or QUILLFEN_NATIVE_BACKEND_X11.
#if defined(QUILLFEN_NATIVE_BACKEND_WIN32)
const PlatformOps* win32_platform();
const PlatformOps* native_platform() {
  return win32_platform();
}
#elif defined(QUILLFEN_NATIVE_BACKEND_X11)
const PlatformOps* x11_platform();
const PlatformOps* native_platform() {
  return x11_platform();
}
#else
const PlatformOps* native_platform() {
  return nullptr;
}
#endif
