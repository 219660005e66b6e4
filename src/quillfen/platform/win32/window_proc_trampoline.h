#pragma once

// Win32 calls a WNDPROC with its own types; the toolkit's procedure takes ours. Each registered
// class is remembered with the toolkit procedure it names, and one real WNDPROC forwards every
// message of a window to the procedure of the window's class, from the very first message sent
// during creation.

#include "platform.h"
#include "win32_include.h"

LRESULT CALLBACK window_proc_trampoline(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Remembers `proc` for the class `atom`; 0 when every slot is taken.
int32_t remember_class_proc(ATOM atom, PwWndProc proc);

// Forgets the class `atom` (after it is unregistered).
void forget_class_proc(ATOM atom);
