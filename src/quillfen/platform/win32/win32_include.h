#pragma once

// <windows.h> as the backend uses it: lean, without the min/max macros, with the OEM resource
// numbers (the icon and cursor ids as plain integers).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef OEMRESOURCE
#define OEMRESOURCE
#endif
#include <windows.h>
