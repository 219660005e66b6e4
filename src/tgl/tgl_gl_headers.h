#pragma once

// The GL headers with every PFNGL...PROC typedef of GL 1.2 to 2.0 in scope.
//
// Mesa's gl.h claims GL 1.2, 1.3 and GL_ARB_imaging itself but declares only some of their
// typedefs, and then pulls in glext.h, which skips those sections. So keep gl.h from including
// glext.h, drop its claims, and let glext.h define the sections whole. Windows' gl.h needs
// APIENTRY and WINGDIAPI; giving them here keeps <windows.h> out of every includer.

#if defined(__gl_glext_h_) && !defined(_WIN32)
#error "include tgl_gl_headers.h (or a loader header) before <GL/gl.h> and <GL/glext.h>"
#endif

#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define TGL_DEFINED_APIENTRY
#endif
#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI __declspec(dllimport)
#define TGL_DEFINED_WINGDIAPI
#endif

#ifndef GL_GLEXT_LEGACY
#define GL_GLEXT_LEGACY
#define TGL_DEFINED_GLEXT_LEGACY
#endif
#include <GL/gl.h>
#ifdef TGL_DEFINED_GLEXT_LEGACY
#undef GL_GLEXT_LEGACY
#undef TGL_DEFINED_GLEXT_LEGACY
#endif

#undef GL_VERSION_1_2
#undef GL_VERSION_1_3
#undef GL_ARB_imaging
#include <GL/glext.h>

// A later <windows.h> defines these its own way.
#ifdef TGL_DEFINED_APIENTRY
#undef APIENTRY
#undef TGL_DEFINED_APIENTRY
#endif
#ifdef TGL_DEFINED_WINGDIAPI
#undef WINGDIAPI
#undef TGL_DEFINED_WINGDIAPI
#endif
