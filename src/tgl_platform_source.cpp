#include "platform/platform.h"
#include "tgl_source.h"

PwProc tgl_get_proc_address(const char* name) {
  return platform().wgl_get_proc_address(name);
}

const char* tgl_extension_string() {
  return reinterpret_cast<const char*>(platform().gl_get_string(PW_GL_EXTENSIONS));
}
