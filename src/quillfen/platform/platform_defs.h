#pragma once

// Window-system constants with their documented Win32 values. The toolkit's rules are written in
// Win32 terms, so every backend speaks this vocabulary; the win32 backend checks each value
// against <windows.h>. Every name carries the PW_ prefix so that <windows.h> macros of the same
// spelling can never rewrite them.

#include <cstdint>

// Window messages.
inline constexpr uint32_t PW_WM_NULL = 0x0000;
inline constexpr uint32_t PW_WM_CREATE = 0x0001;
inline constexpr uint32_t PW_WM_DESTROY = 0x0002;
inline constexpr uint32_t PW_WM_MOVE = 0x0003;
inline constexpr uint32_t PW_WM_SIZE = 0x0005;
inline constexpr uint32_t PW_WM_ACTIVATE = 0x0006;
inline constexpr uint32_t PW_WM_SETFOCUS = 0x0007;
inline constexpr uint32_t PW_WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t PW_WM_SETTEXT = 0x000C;
inline constexpr uint32_t PW_WM_PAINT = 0x000F;
inline constexpr uint32_t PW_WM_CLOSE = 0x0010;
inline constexpr uint32_t PW_WM_QUIT = 0x0012;
inline constexpr uint32_t PW_WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t PW_WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t PW_WM_ACTIVATEAPP = 0x001C;
inline constexpr uint32_t PW_WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t PW_WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr uint32_t PW_WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr uint32_t PW_WM_DISPLAYCHANGE = 0x007E;
inline constexpr uint32_t PW_WM_NCCREATE = 0x0081;
inline constexpr uint32_t PW_WM_NCDESTROY = 0x0082;
inline constexpr uint32_t PW_WM_NCACTIVATE = 0x0086;
inline constexpr uint32_t PW_WM_KEYDOWN = 0x0100;
inline constexpr uint32_t PW_WM_KEYUP = 0x0101;
inline constexpr uint32_t PW_WM_CHAR = 0x0102;
inline constexpr uint32_t PW_WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t PW_WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t PW_WM_SYSCHAR = 0x0106;
inline constexpr uint32_t PW_WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t PW_WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t PW_WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t PW_WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t PW_WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t PW_WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t PW_WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t PW_WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t PW_WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t PW_WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t PW_WM_MBUTTONDBLCLK = 0x0209;
inline constexpr uint32_t PW_WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t PW_WM_CAPTURECHANGED = 0x0215;

// System commands (WM_SYSCOMMAND wParam).
inline constexpr uint32_t PW_SC_SIZE = 0xF000;
inline constexpr uint32_t PW_SC_MOVE = 0xF010;
inline constexpr uint32_t PW_SC_MINIMIZE = 0xF020;
inline constexpr uint32_t PW_SC_MAXIMIZE = 0xF030;
inline constexpr uint32_t PW_SC_CLOSE = 0xF060;
inline constexpr uint32_t PW_SC_KEYMENU = 0xF100;
inline constexpr uint32_t PW_SC_RESTORE = 0xF120;

// Virtual keys. Digits and letters are their ASCII upper-case codes ('0'..'9', 'A'..'Z').
inline constexpr uint32_t PW_VK_LBUTTON = 0x01;
inline constexpr uint32_t PW_VK_RBUTTON = 0x02;
inline constexpr uint32_t PW_VK_CANCEL = 0x03;
inline constexpr uint32_t PW_VK_MBUTTON = 0x04;
inline constexpr uint32_t PW_VK_BACK = 0x08;
inline constexpr uint32_t PW_VK_TAB = 0x09;
inline constexpr uint32_t PW_VK_CLEAR = 0x0C;
inline constexpr uint32_t PW_VK_RETURN = 0x0D;
inline constexpr uint32_t PW_VK_SHIFT = 0x10;
inline constexpr uint32_t PW_VK_CONTROL = 0x11;
inline constexpr uint32_t PW_VK_MENU = 0x12;
inline constexpr uint32_t PW_VK_PAUSE = 0x13;
inline constexpr uint32_t PW_VK_CAPITAL = 0x14;
inline constexpr uint32_t PW_VK_ESCAPE = 0x1B;
inline constexpr uint32_t PW_VK_SPACE = 0x20;
inline constexpr uint32_t PW_VK_PRIOR = 0x21;
inline constexpr uint32_t PW_VK_NEXT = 0x22;
inline constexpr uint32_t PW_VK_END = 0x23;
inline constexpr uint32_t PW_VK_HOME = 0x24;
inline constexpr uint32_t PW_VK_LEFT = 0x25;
inline constexpr uint32_t PW_VK_UP = 0x26;
inline constexpr uint32_t PW_VK_RIGHT = 0x27;
inline constexpr uint32_t PW_VK_DOWN = 0x28;
inline constexpr uint32_t PW_VK_SNAPSHOT = 0x2C;
inline constexpr uint32_t PW_VK_INSERT = 0x2D;
inline constexpr uint32_t PW_VK_DELETE = 0x2E;
inline constexpr uint32_t PW_VK_0 = 0x30;
inline constexpr uint32_t PW_VK_9 = 0x39;
inline constexpr uint32_t PW_VK_A = 0x41;
inline constexpr uint32_t PW_VK_Z = 0x5A;
inline constexpr uint32_t PW_VK_LWIN = 0x5B;
inline constexpr uint32_t PW_VK_RWIN = 0x5C;
inline constexpr uint32_t PW_VK_APPS = 0x5D;
inline constexpr uint32_t PW_VK_NUMPAD0 = 0x60;
inline constexpr uint32_t PW_VK_NUMPAD1 = 0x61;
inline constexpr uint32_t PW_VK_NUMPAD2 = 0x62;
inline constexpr uint32_t PW_VK_NUMPAD3 = 0x63;
inline constexpr uint32_t PW_VK_NUMPAD4 = 0x64;
inline constexpr uint32_t PW_VK_NUMPAD5 = 0x65;
inline constexpr uint32_t PW_VK_NUMPAD6 = 0x66;
inline constexpr uint32_t PW_VK_NUMPAD7 = 0x67;
inline constexpr uint32_t PW_VK_NUMPAD8 = 0x68;
inline constexpr uint32_t PW_VK_NUMPAD9 = 0x69;
inline constexpr uint32_t PW_VK_MULTIPLY = 0x6A;
inline constexpr uint32_t PW_VK_ADD = 0x6B;
inline constexpr uint32_t PW_VK_SEPARATOR = 0x6C;
inline constexpr uint32_t PW_VK_SUBTRACT = 0x6D;
inline constexpr uint32_t PW_VK_DECIMAL = 0x6E;
inline constexpr uint32_t PW_VK_DIVIDE = 0x6F;
inline constexpr uint32_t PW_VK_F1 = 0x70;
inline constexpr uint32_t PW_VK_F2 = 0x71;
inline constexpr uint32_t PW_VK_F3 = 0x72;
inline constexpr uint32_t PW_VK_F4 = 0x73;
inline constexpr uint32_t PW_VK_F5 = 0x74;
inline constexpr uint32_t PW_VK_F6 = 0x75;
inline constexpr uint32_t PW_VK_F7 = 0x76;
inline constexpr uint32_t PW_VK_F8 = 0x77;
inline constexpr uint32_t PW_VK_F9 = 0x78;
inline constexpr uint32_t PW_VK_F10 = 0x79;
inline constexpr uint32_t PW_VK_F11 = 0x7A;
inline constexpr uint32_t PW_VK_F12 = 0x7B;
inline constexpr uint32_t PW_VK_NUMLOCK = 0x90;
inline constexpr uint32_t PW_VK_SCROLL = 0x91;
inline constexpr uint32_t PW_VK_LSHIFT = 0xA0;
inline constexpr uint32_t PW_VK_RSHIFT = 0xA1;
inline constexpr uint32_t PW_VK_LCONTROL = 0xA2;
inline constexpr uint32_t PW_VK_RCONTROL = 0xA3;
inline constexpr uint32_t PW_VK_LMENU = 0xA4;
inline constexpr uint32_t PW_VK_RMENU = 0xA5;
inline constexpr uint32_t PW_VK_OEM_1 = 0xBA;
inline constexpr uint32_t PW_VK_OEM_PLUS = 0xBB;
inline constexpr uint32_t PW_VK_OEM_COMMA = 0xBC;
inline constexpr uint32_t PW_VK_OEM_MINUS = 0xBD;
inline constexpr uint32_t PW_VK_OEM_PERIOD = 0xBE;
inline constexpr uint32_t PW_VK_OEM_2 = 0xBF;
inline constexpr uint32_t PW_VK_OEM_3 = 0xC0;
inline constexpr uint32_t PW_VK_OEM_4 = 0xDB;
inline constexpr uint32_t PW_VK_OEM_5 = 0xDC;
inline constexpr uint32_t PW_VK_OEM_6 = 0xDD;
inline constexpr uint32_t PW_VK_OEM_7 = 0xDE;
inline constexpr uint32_t PW_VK_OEM_102 = 0xE2;

// GetKeyboardState entry bits.
inline constexpr uint8_t PW_KEY_STATE_DOWN = 0x80;
inline constexpr uint8_t PW_KEY_STATE_TOGGLED = 0x01;

// Key-message lParam layout.
inline constexpr uint32_t PW_KEY_REPEAT_MASK = 0x0000FFFF;   // bits 0-15: repeat count
inline constexpr uint32_t PW_KEY_SCAN_SHIFT = 16;            // bits 16-23: PC set-1 scan code
inline constexpr uint32_t PW_KEY_SCAN_MASK = 0xFF;           // applied after the shift
inline constexpr uint32_t PW_KEY_EXTENDED_BIT = 1u << 24;    // E0-prefixed key
inline constexpr uint32_t PW_KEY_CONTEXT_BIT = 1u << 29;     // Alt held
inline constexpr uint32_t PW_KEY_PREVIOUS_BIT = 1u << 30;    // key was already down
inline constexpr uint32_t PW_KEY_TRANSITION_BIT = 1u << 31;  // set on release

// WM_SIZE wParam.
inline constexpr uint32_t PW_SIZE_RESTORED = 0;
inline constexpr uint32_t PW_SIZE_MINIMIZED = 1;
inline constexpr uint32_t PW_SIZE_MAXIMIZED = 2;

// Mouse-message wParam bits.
inline constexpr uint32_t PW_MK_LBUTTON = 0x0001;
inline constexpr uint32_t PW_MK_RBUTTON = 0x0002;
inline constexpr uint32_t PW_MK_SHIFT = 0x0004;
inline constexpr uint32_t PW_MK_CONTROL = 0x0008;
inline constexpr uint32_t PW_MK_MBUTTON = 0x0010;

// One notch of a mouse wheel.
inline constexpr int32_t PW_WHEEL_DELTA = 120;

// Window class and window styles.
inline constexpr uint32_t PW_CS_VREDRAW = 0x0001;
inline constexpr uint32_t PW_CS_HREDRAW = 0x0002;
inline constexpr uint32_t PW_CS_OWNDC = 0x0020;
inline constexpr uint32_t PW_CS_CLASSDC = 0x0040;

inline constexpr uint32_t PW_WS_OVERLAPPED = 0x00000000;
inline constexpr uint32_t PW_WS_MAXIMIZEBOX = 0x00010000;
inline constexpr uint32_t PW_WS_MINIMIZEBOX = 0x00020000;
inline constexpr uint32_t PW_WS_THICKFRAME = 0x00040000;
inline constexpr uint32_t PW_WS_SYSMENU = 0x00080000;
inline constexpr uint32_t PW_WS_DLGFRAME = 0x00400000;
inline constexpr uint32_t PW_WS_BORDER = 0x00800000;
inline constexpr uint32_t PW_WS_CAPTION = 0x00C00000;
inline constexpr uint32_t PW_WS_MAXIMIZE = 0x01000000;
inline constexpr uint32_t PW_WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t PW_WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t PW_WS_DISABLED = 0x08000000;
inline constexpr uint32_t PW_WS_VISIBLE = 0x10000000;
inline constexpr uint32_t PW_WS_MINIMIZE = 0x20000000;
inline constexpr uint32_t PW_WS_CHILD = 0x40000000;
inline constexpr uint32_t PW_WS_POPUP = 0x80000000;
inline constexpr uint32_t PW_WS_OVERLAPPEDWINDOW = 0x00CF0000;

// System resources named in a window class (LoadIcon/LoadCursor with a null instance, and
// GetStockObject); the backend resolves them.
inline constexpr uint32_t PW_IDI_APPLICATION = 32512;
inline constexpr uint32_t PW_IDI_WINLOGO = 32517;
inline constexpr uint32_t PW_IDC_ARROW = 32512;
inline constexpr uint32_t PW_WHITE_BRUSH = 0;
inline constexpr uint32_t PW_BLACK_BRUSH = 4;
inline constexpr uint32_t PW_NULL_BRUSH = 5;

// ShowWindow commands.
inline constexpr int32_t PW_SW_HIDE = 0;
inline constexpr int32_t PW_SW_SHOWNORMAL = 1;
inline constexpr int32_t PW_SW_SHOWMINIMIZED = 2;
inline constexpr int32_t PW_SW_SHOWMAXIMIZED = 3;
inline constexpr int32_t PW_SW_SHOWNOACTIVATE = 4;
inline constexpr int32_t PW_SW_SHOW = 5;
inline constexpr int32_t PW_SW_MINIMIZE = 6;
inline constexpr int32_t PW_SW_SHOWMINNOACTIVE = 7;
inline constexpr int32_t PW_SW_SHOWNA = 8;
inline constexpr int32_t PW_SW_RESTORE = 9;

// SetWindowPos flags and z-order places (the insert-after argument).
inline constexpr uint32_t PW_SWP_NOSIZE = 0x0001;
inline constexpr uint32_t PW_SWP_NOMOVE = 0x0002;
inline constexpr uint32_t PW_SWP_NOZORDER = 0x0004;
inline constexpr uint32_t PW_SWP_NOREDRAW = 0x0008;
inline constexpr uint32_t PW_SWP_NOACTIVATE = 0x0010;
inline constexpr uint32_t PW_SWP_FRAMECHANGED = 0x0020;
inline constexpr uint32_t PW_SWP_SHOWWINDOW = 0x0040;
inline constexpr uint32_t PW_SWP_HIDEWINDOW = 0x0080;
inline constexpr intptr_t PW_HWND_TOP = 0;
inline constexpr intptr_t PW_HWND_BOTTOM = 1;
inline constexpr intptr_t PW_HWND_TOPMOST = -1;
inline constexpr intptr_t PW_HWND_NOTOPMOST = -2;

// PeekMessage removal.
inline constexpr uint32_t PW_PM_NOREMOVE = 0x0000;
inline constexpr uint32_t PW_PM_REMOVE = 0x0001;

// Pixel formats.
inline constexpr uint32_t PW_PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr uint32_t PW_PFD_STEREO = 0x00000002;
inline constexpr uint32_t PW_PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr uint32_t PW_PFD_DRAW_TO_BITMAP = 0x00000008;
inline constexpr uint32_t PW_PFD_SUPPORT_GDI = 0x00000010;
inline constexpr uint32_t PW_PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr uint32_t PW_PFD_GENERIC_FORMAT = 0x00000040;
inline constexpr uint8_t PW_PFD_TYPE_RGBA = 0;
inline constexpr uint8_t PW_PFD_TYPE_COLORINDEX = 1;
inline constexpr uint8_t PW_PFD_MAIN_PLANE = 0;

// Display modes.
inline constexpr uint32_t PW_DM_BITSPERPEL = 0x00040000;
inline constexpr uint32_t PW_DM_PELSWIDTH = 0x00080000;
inline constexpr uint32_t PW_DM_PELSHEIGHT = 0x00100000;
inline constexpr uint32_t PW_DM_DISPLAYFREQUENCY = 0x00400000;
inline constexpr uint32_t PW_ENUM_CURRENT_SETTINGS = 0xFFFFFFFF;
inline constexpr uint32_t PW_ENUM_REGISTRY_SETTINGS = 0xFFFFFFFE;
inline constexpr uint32_t PW_CDS_UPDATEREGISTRY = 0x00000001;
inline constexpr uint32_t PW_CDS_TEST = 0x00000002;
inline constexpr uint32_t PW_CDS_FULLSCREEN = 0x00000004;
inline constexpr int32_t PW_DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr int32_t PW_DISP_CHANGE_RESTART = 1;
inline constexpr int32_t PW_DISP_CHANGE_FAILED = -1;
inline constexpr int32_t PW_DISP_CHANGE_BADMODE = -2;
inline constexpr int32_t PW_DISP_CHANGE_NOTUPDATED = -3;
inline constexpr int32_t PW_DISP_CHANGE_BADFLAGS = -4;
inline constexpr int32_t PW_DISP_CHANGE_BADPARAM = -5;

// GetSystemMetrics indices.
inline constexpr int32_t PW_SM_CXSCREEN = 0;
inline constexpr int32_t PW_SM_CYSCREEN = 1;

// GetDeviceCaps indices.
inline constexpr int32_t PW_HORZRES = 8;
inline constexpr int32_t PW_VERTRES = 10;
inline constexpr int32_t PW_BITSPIXEL = 12;
inline constexpr int32_t PW_PLANES = 14;
inline constexpr int32_t PW_VREFRESH = 116;

// Raster operation for PatBlt.
inline constexpr uint32_t PW_BLACKNESS = 0x00000042;

// Code pages.
inline constexpr uint32_t PW_CP_ACP = 0;
inline constexpr uint32_t PW_CP_UTF8 = 65001;

// GL enumerants the toolkit and the loader use.
inline constexpr uint32_t PW_GL_VENDOR = 0x1F00;
inline constexpr uint32_t PW_GL_RENDERER = 0x1F01;
inline constexpr uint32_t PW_GL_VERSION = 0x1F02;
inline constexpr uint32_t PW_GL_EXTENSIONS = 0x1F03;
inline constexpr uint32_t PW_GL_MODELVIEW = 0x1700;
inline constexpr uint32_t PW_GL_PROJECTION = 0x1701;
