#pragma once

// Where the loader's lookups go, for the GL context current on the calling thread. The tgl library
// answers through the platform table; tests link tgl_core with a scripted answer of their own.

#include "platform/platform.h"

// The function's address (wglGetProcAddress), null when the context has none.
PwProc tgl_get_proc_address(const char* name);

// The context's extension string (glGetString(GL_EXTENSIONS)), null when it gives none.
const char* tgl_extension_string();
