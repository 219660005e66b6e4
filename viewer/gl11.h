#pragma once

// The fixed-function GL 1.1 interface of the system library (libGL, opengl32). Windows' gl.h
// needs the calling-convention macros of <windows.h> first.

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <GL/gl.h>
