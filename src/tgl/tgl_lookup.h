#pragma once

// How the loader finds the current GL context's functions. The caller passes the lookup in (the
// toolkit answers through its platform table, tests with a scripted GL), so the loader depends on
// no window system.

// An address as wglGetProcAddress returns it.
using TglProc = void (*)();

struct TglLookup {
  // The function's address for the context current on the calling thread, null when it has none.
  TglProc (*get_proc_address)(const char* name);
  // The context's extension string (glGetString(GL_EXTENSIONS)), null when it gives none.
  const char* (*extension_string)();
};
