#pragma once

// The entry-point slots: one process-wide pointer per GL 1.2 to 2.0 function, under its published
// name in namespace tgl (call tgl::glUseProgram(...)). Null until the loader finds the function;
// after that they only ever receive the same address again and are never cleared.

#include "tgl_entry_points.h"
#include "tgl_gl_headers.h"

namespace tgl {
#define TGL_DECLARE_SLOT(type, name) extern type name;
TGL_ENTRY_POINTS_ALL(TGL_DECLARE_SLOT)
#undef TGL_DECLARE_SLOT
}  // namespace tgl
