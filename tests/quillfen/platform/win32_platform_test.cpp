// The win32 backend against the real system (Wine on Xvfb in the tests): each operation must
// reach Win32 and bring its results back unchanged.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "win32_include.h"

#include <GL/gl.h>

#include "win32_platform.h"

namespace {

const PlatformOps& ops() {
  return *win32_platform();
}

struct Seen {
  PwWindow window;
  uint32_t message;
  PwWParam wparam;
  PwLParam lparam;
};

std::vector<Seen> g_first_seen;
std::vector<Seen> g_second_seen;

constexpr uint32_t kPing = WM_APP + 1;
constexpr PwResult kPingAnswer = 0x5EED;

PwResult first_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  g_first_seen.push_back({window, message, wparam, lparam});
  if (message == kPing) return kPingAnswer;
  return ops().def_window_proc(window, message, wparam, lparam);
}

PwResult second_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  g_second_seen.push_back({window, message, wparam, lparam});
  return ops().def_window_proc(window, message, wparam, lparam);
}

bool saw(const std::vector<Seen>& seen, uint32_t message) {
  for (const Seen& s : seen) {
    if (s.message == message) return true;
  }
  return false;
}

PwWndClass window_class(const char* name, PwWndProc proc) {
  PwWndClass c{};
  c.style = PW_CS_OWNDC;
  c.window_proc = proc;
  c.instance = ops().get_module_handle(nullptr);
  c.icon_id = PW_IDI_WINLOGO;
  c.cursor_id = PW_IDC_ARROW;
  c.background_stock = PW_NULL_BRUSH;
  c.class_name = name;
  return c;
}

PwWindow popup(const char* class_name, int32_t width, int32_t height) {
  return ops().create_window_ex(0, class_name, "win32 backend test", PW_WS_POPUP, 10, 20, width,
                                height, nullptr, nullptr, ops().get_module_handle(nullptr),
                                nullptr);
}

// Removes and dispatches every pending message of the thread.
void pump() {
  PwMsg msg{};
  while (ops().peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE)) {
    ops().translate_message(&msg);
    ops().dispatch_message(&msg);
  }
}

TEST(Win32Platform, WindowLifeCycleReachesTheToolkitProcedure) {
  g_first_seen.clear();
  const PwWndClass c = window_class("quillfen win32 test", first_proc);
  ASSERT_NE(ops().register_class(&c), 0);
  const PwInstance instance = c.instance;

  const PwWindow window = popup(c.class_name, 200, 100);
  ASSERT_NE(window, nullptr);
  // Creation messages are sent through the trampoline before CreateWindowExA returns.
  ASSERT_TRUE(saw(g_first_seen, PW_WM_NCCREATE));
  ASSERT_TRUE(saw(g_first_seen, PW_WM_CREATE));
  for (const Seen& s : g_first_seen) EXPECT_EQ(s.window, window);

  PwRect client{};
  ASSERT_TRUE(ops().get_client_rect(window, &client));
  EXPECT_EQ(client.left, 0);
  EXPECT_EQ(client.top, 0);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);

  g_first_seen.clear();
  EXPECT_EQ(ops().show_window(window, PW_SW_SHOW), 0);  // was hidden
  EXPECT_TRUE(saw(g_first_seen, PW_WM_SHOWWINDOW));
  EXPECT_TRUE(ops().update_window(window));
  EXPECT_TRUE(ops().set_window_text(window, "renamed"));
  char title[32] = {};
  GetWindowTextA(reinterpret_cast<HWND>(window), title, sizeof(title));
  EXPECT_STREQ(title, "renamed");
  pump();

  // A posted message comes out of the queue whole and dispatch delivers it to our procedure.
  g_first_seen.clear();
  const PwLParam lparam = pw_key_lparam(0x48, true, false, false);
  ASSERT_TRUE(PostMessageA(reinterpret_cast<HWND>(window), kPing, 0xBEEF, lparam));
  PwMsg msg{};
  ASSERT_TRUE(ops().peek_message(&msg, window, kPing, kPing, PW_PM_REMOVE));
  EXPECT_EQ(msg.window, window);
  EXPECT_EQ(msg.message, kPing);
  EXPECT_EQ(msg.wparam, 0xBEEFu);
  EXPECT_EQ(msg.lparam, lparam);
  // Time stamp and cursor position are the ones the system keeps for the message just removed.
  EXPECT_EQ(msg.time, static_cast<uint32_t>(GetMessageTime()));
  const DWORD pos = GetMessagePos();
  EXPECT_EQ(msg.pt.x, pw_signed_low(pos));
  EXPECT_EQ(msg.pt.y, pw_signed_high(pos));
  EXPECT_EQ(ops().dispatch_message(&msg), kPingAnswer);
  ASSERT_EQ(g_first_seen.size(), 1u);
  EXPECT_EQ(g_first_seen[0].wparam, 0xBEEFu);
  EXPECT_EQ(g_first_seen[0].lparam, lparam);
  EXPECT_FALSE(ops().peek_message(&msg, window, kPing, kPing, PW_PM_REMOVE));

  // One pointer kept under a name.
  int record = 7;
  EXPECT_EQ(ops().get_prop(window, "TARN_HANDLE"), nullptr);
  ASSERT_TRUE(ops().set_prop(window, "TARN_HANDLE", &record));
  EXPECT_EQ(ops().get_prop(window, "TARN_HANDLE"), &record);
  EXPECT_EQ(ops().remove_prop(window, "TARN_HANDLE"), &record);
  EXPECT_EQ(ops().get_prop(window, "TARN_HANDLE"), nullptr);

  g_first_seen.clear();
  ASSERT_TRUE(ops().destroy_window(window));
  EXPECT_TRUE(saw(g_first_seen, PW_WM_DESTROY));
  EXPECT_TRUE(saw(g_first_seen, PW_WM_NCDESTROY));
  EXPECT_FALSE(ops().destroy_window(window));
  pump();

  ASSERT_TRUE(ops().unregister_class(c.class_name, instance));
  EXPECT_FALSE(ops().unregister_class(c.class_name, instance));
  EXPECT_EQ(popup(c.class_name, 200, 100), nullptr);
}

TEST(Win32Platform, EachClassReachesItsOwnProcedure) {
  g_first_seen.clear();
  g_second_seen.clear();
  const PwWndClass first = window_class("quillfen first", first_proc);
  const PwWndClass second = window_class("quillfen second", second_proc);
  ASSERT_NE(ops().register_class(&first), 0);
  ASSERT_NE(ops().register_class(&second), 0);
  EXPECT_EQ(ops().register_class(&second), 0);  // already registered

  const PwWindow a = popup(first.class_name, 50, 50);
  const PwWindow b = popup(second.class_name, 50, 50);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  g_first_seen.clear();
  g_second_seen.clear();
  SendMessageA(reinterpret_cast<HWND>(b), kPing, 2, 0);
  SendMessageA(reinterpret_cast<HWND>(a), kPing, 1, 0);
  ASSERT_EQ(g_first_seen.size(), 1u);
  ASSERT_EQ(g_second_seen.size(), 1u);
  EXPECT_EQ(g_first_seen[0].window, a);
  EXPECT_EQ(g_second_seen[0].window, b);
  EXPECT_TRUE(ops().destroy_window(a));
  EXPECT_TRUE(ops().destroy_window(b));

  // Registered again, a class reaches the procedure it now names.
  ASSERT_TRUE(ops().unregister_class(first.class_name, first.instance));
  const PwWndClass again = window_class("quillfen first", second_proc);
  ASSERT_NE(ops().register_class(&again), 0);
  g_first_seen.clear();
  g_second_seen.clear();
  const PwWindow c = popup(again.class_name, 50, 50);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(g_first_seen.empty());
  EXPECT_TRUE(saw(g_second_seen, PW_WM_CREATE));
  EXPECT_TRUE(ops().destroy_window(c));
  pump();
  EXPECT_TRUE(ops().unregister_class(again.class_name, again.instance));
  EXPECT_TRUE(ops().unregister_class(second.class_name, second.instance));
}

TEST(Win32Platform, PixelFormatAndGlContext) {
  const PwWndClass c = window_class("quillfen gl", first_proc);
  ASSERT_NE(ops().register_class(&c), 0);
  const PwWindow window = popup(c.class_name, 64, 64);
  ASSERT_NE(window, nullptr);
  ops().show_window(window, PW_SW_SHOW);
  const PwDc dc = ops().get_dc(window);
  ASSERT_NE(dc, nullptr);

  PwPixelFormatDescriptor wanted{};
  wanted.size = sizeof(wanted);
  wanted.version = 1;
  wanted.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL | PW_PFD_DOUBLEBUFFER;
  wanted.pixel_type = PW_PFD_TYPE_RGBA;
  wanted.color_bits = 32;
  wanted.depth_bits = 16;
  wanted.layer_type = PW_PFD_MAIN_PLANE;
  const int32_t format = ops().choose_pixel_format(dc, &wanted);
  ASSERT_GT(format, 0);
  PwPixelFormatDescriptor got{};
  const int32_t highest = ops().describe_pixel_format(dc, format, sizeof(got), &got);
  EXPECT_GE(highest, format);
  EXPECT_EQ(ops().describe_pixel_format(dc, format, 0, nullptr), highest);
  EXPECT_EQ(got.size, sizeof(got));
  EXPECT_EQ(got.flags & wanted.flags, wanted.flags);
  EXPECT_EQ(got.pixel_type, PW_PFD_TYPE_RGBA);
  EXPECT_GT(got.color_bits, 0);
  EXPECT_GT(got.depth_bits, 0);
  ASSERT_TRUE(ops().set_pixel_format(dc, format, &got));

  const PwGlContext context = ops().wgl_create_context(dc);
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(ops().wgl_make_current(dc, context));
  const unsigned char* version = ops().gl_get_string(PW_GL_VERSION);
  ASSERT_NE(version, nullptr);
  EXPECT_GT(std::strlen(reinterpret_cast<const char*>(version)), 0u);
  EXPECT_NE(ops().gl_get_string(PW_GL_RENDERER), nullptr);
  ops().gl_viewport(0, 0, 64, 64);
  ops().gl_matrix_mode(PW_GL_PROJECTION);
  ops().gl_load_identity();
  ops().gl_ortho(0, 64, 0, 64, -1, 1);
  ops().gl_matrix_mode(PW_GL_MODELVIEW);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // Entry points beyond 1.1 come from the driver; 1.1 exports and unknown names do not.
  EXPECT_NE(ops().wgl_get_proc_address("glBindBuffer"), nullptr);
  EXPECT_EQ(ops().wgl_get_proc_address("glNoSuchEntryPoint"), nullptr);
  EXPECT_TRUE(ops().swap_buffers(dc));

  EXPECT_TRUE(ops().wgl_make_current(nullptr, nullptr));
  EXPECT_TRUE(ops().wgl_delete_context(context));
  EXPECT_TRUE(ops().release_dc(window, dc));
  EXPECT_TRUE(ops().destroy_window(window));
  pump();
  EXPECT_TRUE(ops().unregister_class(c.class_name, c.instance));
}

TEST(Win32Platform, PaintingValidatesTheUpdateArea) {
  const PwWndClass c = window_class("quillfen paint", first_proc);
  ASSERT_NE(ops().register_class(&c), 0);
  const PwWindow window = popup(c.class_name, 80, 60);
  ASSERT_NE(window, nullptr);
  ops().show_window(window, PW_SW_SHOW);
  pump();

  const RECT dirty = {5, 6, 30, 40};
  InvalidateRect(reinterpret_cast<HWND>(window), &dirty, FALSE);
  PwRect update{};
  ASSERT_TRUE(ops().get_update_rect(window, &update, 0));
  EXPECT_EQ(update.left, 5);
  EXPECT_EQ(update.top, 6);
  EXPECT_EQ(update.right, 30);
  EXPECT_EQ(update.bottom, 40);
  PwPaintStruct paint{};
  const PwDc dc = ops().begin_paint(window, &paint);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(paint.dc, dc);
  EXPECT_EQ(paint.paint.left, 5);
  EXPECT_EQ(paint.paint.bottom, 40);
  EXPECT_TRUE(ops().pat_blt(dc, 0, 0, 80, 60, PW_BLACKNESS));
  EXPECT_TRUE(ops().end_paint(window, &paint));
  EXPECT_FALSE(ops().get_update_rect(window, nullptr, 0));

  EXPECT_TRUE(ops().destroy_window(window));
  pump();
  EXPECT_TRUE(ops().unregister_class(c.class_name, c.instance));
}

TEST(Win32Platform, PointerDisplayAndFocus) {
  const PwWndClass c = window_class("quillfen pointer", first_proc);
  ASSERT_NE(ops().register_class(&c), 0);
  const PwWindow window = popup(c.class_name, 100, 100);
  ASSERT_NE(window, nullptr);
  ops().show_window(window, PW_SW_SHOW);
  pump();

  PwPoint point{7, 9};
  ASSERT_TRUE(ops().client_to_screen(window, &point));
  EXPECT_EQ(point.x, 17);  // the popup's client starts at its position (10, 20)
  EXPECT_EQ(point.y, 29);
  ASSERT_TRUE(ops().screen_to_client(window, &point));
  EXPECT_EQ(point.x, 7);
  EXPECT_EQ(point.y, 9);

  ASSERT_TRUE(ops().set_cursor_pos(50, 60));
  PwPoint cursor{};
  ASSERT_TRUE(ops().get_cursor_pos(&cursor));
  EXPECT_EQ(cursor.x, 50);
  EXPECT_EQ(cursor.y, 60);

  EXPECT_EQ(ops().show_cursor(0), -1);
  EXPECT_EQ(ops().show_cursor(1), 0);
  ops().set_capture(window);
  EXPECT_EQ(GetCapture(), reinterpret_cast<HWND>(window));
  EXPECT_TRUE(ops().release_capture());
  EXPECT_EQ(GetCapture(), nullptr);
  ops().set_focus(window);
  EXPECT_EQ(GetFocus(), reinterpret_cast<HWND>(window));
  ops().set_active_window(window);
  EXPECT_EQ(GetActiveWindow(), reinterpret_cast<HWND>(window));

  // The current mode agrees with the screen metrics and the screen's device caps.
  PwDevMode mode{};
  mode.size = sizeof(mode);
  ASSERT_TRUE(ops().enum_display_settings(nullptr, PW_ENUM_CURRENT_SETTINGS, &mode));
  EXPECT_EQ(static_cast<int32_t>(mode.pels_width), ops().get_system_metrics(PW_SM_CXSCREEN));
  EXPECT_EQ(static_cast<int32_t>(mode.pels_height), ops().get_system_metrics(PW_SM_CYSCREEN));
  const PwDc screen = ops().get_dc(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(ops().get_device_caps(screen, PW_HORZRES), static_cast<int32_t>(mode.pels_width));
  EXPECT_EQ(ops().get_device_caps(screen, PW_BITSPIXEL), static_cast<int32_t>(mode.bits_per_pel));
  EXPECT_TRUE(ops().release_dc(nullptr, screen));
  PwDevMode listed{};
  listed.size = sizeof(listed);
  EXPECT_TRUE(ops().enum_display_settings(nullptr, 0, &listed));
  EXPECT_NE(listed.fields & PW_DM_PELSWIDTH, 0u);
  EXPECT_FALSE(ops().enum_display_settings(nullptr, 100000, &listed));
  // Testing the current mode changes nothing.
  mode.fields = PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_BITSPERPEL;
  EXPECT_EQ(ops().change_display_settings(&mode, PW_CDS_TEST), PW_DISP_CHANGE_SUCCESSFUL);
  mode.pels_width = 12345;
  EXPECT_EQ(ops().change_display_settings(&mode, PW_CDS_TEST), PW_DISP_CHANGE_BADMODE);

  EXPECT_TRUE(ops().destroy_window(window));
  pump();
  EXPECT_TRUE(ops().unregister_class(c.class_name, c.instance));
}

TEST(Win32Platform, KeyboardAndText) {
  uint8_t state[256] = {};
  ASSERT_TRUE(ops().get_keyboard_state(state));
  uint8_t plain[256] = {};
  uint16_t chars[2] = {};
  ASSERT_EQ(ops().to_ascii('A', 0x1E, plain, chars, 0), 1);
  EXPECT_EQ(chars[0], 'a');
  plain[PW_VK_SHIFT] = PW_KEY_STATE_DOWN;
  char16_t wide[4] = {};
  ASSERT_EQ(ops().to_unicode('A', 0x1E, plain, wide, 4, 0), 1);
  EXPECT_EQ(wide[0], u'A');

  const char16_t text[] = u"\u00e9x";
  char utf8[8] = {};
  ASSERT_EQ(
      ops().wide_char_to_multi_byte(PW_CP_UTF8, 0, text, 2, utf8, sizeof(utf8), nullptr, nullptr),
      3);
  EXPECT_STREQ(utf8, "\xc3\xa9x");
  // Asking how much room a conversion needs writes nothing.
  EXPECT_EQ(ops().wide_char_to_multi_byte(PW_CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr),
            4);
  int32_t used_default = -1;
  const char16_t snowman[] = u"\u2603";
  char acp[4] = {};
  ops().wide_char_to_multi_byte(PW_CP_ACP, 0, snowman, 1, acp, sizeof(acp), "?", &used_default);
  EXPECT_EQ(used_default, 1);
}

TEST(Win32Platform, KernelServices) {
  const uint32_t before = GetTickCount();
  const uint32_t ticks = ops().get_tick_count();
  const uint32_t after = GetTickCount();
  EXPECT_LE(ticks - before, after - before);  // in order, modulo wrap-around
  ops().sleep(1);
  EXPECT_EQ(ops().get_current_process_id(), GetCurrentProcessId());
  EXPECT_EQ(ops().get_module_handle(nullptr),
            reinterpret_cast<PwInstance>(GetModuleHandleA(nullptr)));
  EXPECT_NE(ops().get_module_handle("user32.dll"), nullptr);
  EXPECT_EQ(ops().get_module_handle("no-such-module.dll"), nullptr);
  EXPECT_STREQ(ops().name, "win32");
}

// The z-order places are pointer casts in <windows.h>, so they are compared here at run time.
TEST(Win32Platform, ZOrderPlacesMatchTheSystemHeader) {
  EXPECT_EQ(reinterpret_cast<intptr_t>(HWND_TOP), PW_HWND_TOP);
  EXPECT_EQ(reinterpret_cast<intptr_t>(HWND_BOTTOM), PW_HWND_BOTTOM);
  EXPECT_EQ(reinterpret_cast<intptr_t>(HWND_TOPMOST), PW_HWND_TOPMOST);
  EXPECT_EQ(reinterpret_cast<intptr_t>(HWND_NOTOPMOST), PW_HWND_NOTOPMOST);
}

}  // namespace
