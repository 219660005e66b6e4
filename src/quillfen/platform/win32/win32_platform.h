#pragma once

// The real window system of a Windows build: every operation passes straight to user32, gdi32,
// opengl32 and kernel32.

#include "platform.h"

const PlatformOps* win32_platform();
