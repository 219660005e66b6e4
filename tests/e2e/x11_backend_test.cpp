// The x11 backend on a real X server (Xvfb), driven through the platform table, with input
// injected by xdotool and close requests by x11_sendclose.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform.h"
#include "shell.h"

namespace {

constexpr int kWindowX = 100;
constexpr int kWindowY = 50;
constexpr int kClient = 800;
constexpr uint32_t kStyle = PW_WS_POPUP | PW_WS_CAPTION | PW_WS_CLIPSIBLINGS | PW_WS_CLIPCHILDREN;
constexpr const char* kTitle = "X11TEST";
constexpr uint32_t kTimeoutMs = 5000;

struct Message {
  uint32_t message;
  PwWParam wparam;
  PwLParam lparam;
};

// Everything the window procedure received, in order.
std::vector<Message> g_received;

const PlatformOps& ops() {
  return platform();
}

PwResult test_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  g_received.push_back(Message{message, wparam, lparam});
  switch (message) {
    case PW_WM_CLOSE:
      return 0;  // the test decides when the window goes
    case PW_WM_PAINT: {
      PwPaintStruct paint{};
      ops().begin_paint(window, &paint);
      ops().end_paint(window, &paint);
      return 0;
    }
    default:
      return ops().def_window_proc(window, message, wparam, lparam);
  }
}

bool received(uint32_t message) {
  for (const Message& m : g_received)
    if (m.message == message) return true;
  return false;
}

const Message* last_received(uint32_t message) {
  for (auto it = g_received.rbegin(); it != g_received.rend(); ++it)
    if (it->message == message) return &*it;
  return nullptr;
}

bool xdotool(const std::string& args) {
  return shell("xdotool " + args);
}

class X11Backend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    ASSERT_STREQ(ops().name, "x11");
    class_name_ = "X11Test" + std::to_string(++counter_);
    PwWndClass window_class{};
    window_class.style = PW_CS_CLASSDC;
    window_class.window_proc = test_proc;
    window_class.instance = ops().get_module_handle(nullptr);
    window_class.cursor_id = PW_IDC_ARROW;
    window_class.background_stock = PW_NULL_BRUSH;
    window_class.class_name = class_name_.c_str();
    ASSERT_NE(ops().register_class(&window_class), 0);
    g_received.clear();
    window_ = ops().create_window_ex(0, class_name_.c_str(), kTitle, kStyle, kWindowX, kWindowY,
                                     kClient, kClient, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    if (window_ != nullptr) {
      EXPECT_EQ(ops().destroy_window(window_), 1);
      EXPECT_EQ(ops().unregister_class(class_name_.c_str(), nullptr), 1);
    }
  }

  void show() {
    ops().show_window(window_, PW_SW_SHOW);
    ops().update_window(window_);
  }

  std::string xid() { return run(std::string("xdotool search --name '^") + kTitle + "$'"); }

  // Pumps the queue as the toolkit does until a removed message satisfies `done`; every
  // removed message is kept in `pumped_`.
  const PwMsg* pump_until(const std::function<bool(const PwMsg&)>& done) {
    uint32_t start = ops().get_tick_count();
    while (ops().get_tick_count() - start < kTimeoutMs) {
      PwMsg msg{};
      if (!ops().peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE)) {
        ops().sleep(5);
        continue;
      }
      ops().translate_message(&msg);
      ops().dispatch_message(&msg);
      pumped_.push_back(msg);
      if (done(msg)) return &pumped_.back();
    }
    return nullptr;
  }

  const PwMsg* pump_for(uint32_t message) {
    return pump_until([message](const PwMsg& m) { return m.message == message; });
  }

  const PwMsg* key_message(uint32_t message, uint32_t vk) {
    return pump_until([=](const PwMsg& m) { return m.message == message && m.wparam == vk; });
  }

  // Presses and releases one key by keycode; returns its key-down message.
  PwMsg tap(int keycode, uint32_t vk) {
    pumped_.clear();
    // A one-digit number would be taken for a digit's keysym; Escape is the only such key here.
    EXPECT_TRUE(xdotool("key " + (keycode == 9 ? std::string("Escape") : std::to_string(keycode))));
    const PwMsg* down = key_message(PW_WM_KEYDOWN, vk);
    EXPECT_NE(down, nullptr) << "keycode " << keycode;
    PwMsg result = down ? *down : PwMsg{};
    EXPECT_NE(key_message(PW_WM_KEYUP, vk), nullptr) << "keycode " << keycode;
    return result;
  }

  uint8_t key_state(uint32_t vk) {
    uint8_t keys[256] = {};
    ops().get_keyboard_state(keys);
    return keys[vk];
  }

  static inline int counter_ = 0;
  std::string class_name_;
  PwWindow window_ = nullptr;
  std::vector<PwMsg> pumped_;
};

TEST_F(X11Backend, WindowStateMessagesAreSentDuringTheCallsThatCauseThem) {
  ASSERT_TRUE(received(PW_WM_NCCREATE) && received(PW_WM_CREATE));
  ASSERT_NE(last_received(PW_WM_SIZE), nullptr);
  EXPECT_EQ(last_received(PW_WM_SIZE)->lparam, pw_make_lparam(kClient, kClient));
  EXPECT_EQ(last_received(PW_WM_MOVE)->lparam, pw_make_lparam(kWindowX, kWindowY));

  // The frame adjustment the toolkit makes leaves an 800x800 client as it is.
  PwRect client{};
  ASSERT_EQ(ops().get_client_rect(window_, &client), 1);
  EXPECT_EQ(client.right, kClient);
  EXPECT_EQ(client.bottom, kClient);
  ops().set_window_pos(window_, 0, 0, 0, 2 * kClient - client.right, 2 * kClient - client.bottom,
                       PW_SWP_NOMOVE | PW_SWP_NOZORDER);
  ops().get_client_rect(window_, &client);
  EXPECT_EQ(client.right, kClient);
  EXPECT_EQ(client.bottom, kClient);

  g_received.clear();
  EXPECT_EQ(ops().show_window(window_, PW_SW_SHOW), 0);
  ASSERT_NE(last_received(PW_WM_SHOWWINDOW), nullptr);
  EXPECT_EQ(last_received(PW_WM_SHOWWINDOW)->wparam, 1u);
  EXPECT_TRUE(received(PW_WM_SETFOCUS));
  EXPECT_EQ(run("xdotool getwindowfocus"), xid());

  // The whole client area waits to be painted; UpdateWindow paints it at once.
  PwRect update{};
  EXPECT_EQ(ops().get_update_rect(window_, &update, 0), 1);
  EXPECT_EQ(update.right, kClient);
  g_received.clear();
  ops().update_window(window_);
  EXPECT_TRUE(received(PW_WM_PAINT));
  EXPECT_EQ(ops().get_update_rect(window_, &update, 0), 0);

  g_received.clear();
  ops().set_window_pos(window_, 0, 120, 60, 0, 0, PW_SWP_NOSIZE | PW_SWP_NOZORDER);
  ASSERT_NE(last_received(PW_WM_MOVE), nullptr);
  EXPECT_EQ(last_received(PW_WM_MOVE)->lparam, pw_make_lparam(120, 60));
  PwPoint origin{0, 0};
  ops().client_to_screen(window_, &origin);
  EXPECT_EQ(origin.x, 120);
  EXPECT_EQ(origin.y, 60);
  EXPECT_EQ(run("xdotool getwindowgeometry --shell " + xid() + " | grep -E '^(X|Y)='"),
            "X=120\nY=60");

  int data = 0;
  EXPECT_EQ(ops().set_prop(window_, "TARN_HANDLE", &data), 1);
  EXPECT_EQ(ops().get_prop(window_, "TARN_HANDLE"), &data);
  EXPECT_EQ(ops().remove_prop(window_, "TARN_HANDLE"), &data);
  EXPECT_EQ(ops().get_prop(window_, "TARN_HANDLE"), nullptr);

  g_received.clear();
  EXPECT_EQ(ops().show_window(window_, PW_SW_HIDE), 1);
  EXPECT_TRUE(received(PW_WM_SHOWWINDOW) && received(PW_WM_KILLFOCUS));
  EXPECT_EQ(ops().unregister_class(class_name_.c_str(), nullptr), 0);  // still in use
}

TEST_F(X11Backend, PointerInputArrivesWithClientAndScreenCoordinates) {
  show();
  pumped_.clear();
  uint32_t before = ops().get_tick_count();
  ASSERT_EQ(ops().set_cursor_pos(kWindowX + 400, kWindowY + 400), 1);
  const PwMsg* move = pump_until([](const PwMsg& m) {
    return m.message == PW_WM_MOUSEMOVE && m.lparam == pw_make_lparam(400, 400);
  });
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(move->pt.x, kWindowX + 400);
  EXPECT_EQ(move->pt.y, kWindowY + 400);
  EXPECT_LE(move->time - before, ops().get_tick_count() - before);
  PwPoint cursor{};
  ASSERT_EQ(ops().get_cursor_pos(&cursor), 1);
  EXPECT_EQ(cursor.x, kWindowX + 400);

  for (auto [button, delta] : {std::pair{4, 120}, std::pair{5, -120}}) {
    pumped_.clear();
    ASSERT_TRUE(xdotool("click " + std::to_string(button)));
    const PwMsg* wheel = pump_for(PW_WM_MOUSEWHEEL);
    ASSERT_NE(wheel, nullptr);
    EXPECT_EQ(pw_signed_high(wheel->wparam), delta);
    EXPECT_EQ(wheel->lparam, pw_make_lparam(kWindowX + 400, kWindowY + 400));  // screen
  }

  pumped_.clear();
  ASSERT_TRUE(xdotool("click 1"));
  const PwMsg* down = pump_for(PW_WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->lparam, pw_make_lparam(400, 400));
  EXPECT_TRUE(key_state(PW_VK_LBUTTON) & PW_KEY_STATE_DOWN);
  ASSERT_NE(pump_for(PW_WM_LBUTTONUP), nullptr);
  EXPECT_FALSE(key_state(PW_VK_LBUTTON) & PW_KEY_STATE_DOWN);
}

TEST_F(X11Backend, CaptureGrabsThePointerAndTheCursorCanBeHidden) {
  show();
  EXPECT_EQ(ops().set_capture(window_), nullptr);
  pumped_.clear();
  ASSERT_TRUE(xdotool("mousemove 1200 1000"));
  const PwMsg* outside = pump_until([](const PwMsg& m) {
    return m.message == PW_WM_MOUSEMOVE && m.lparam == pw_make_lparam(1100, 950);
  });
  EXPECT_NE(outside, nullptr) << "motion outside the window reaches the capture owner";
  g_received.clear();
  EXPECT_EQ(ops().release_capture(), 1);
  EXPECT_TRUE(received(PW_WM_CAPTURECHANGED));

  EXPECT_EQ(ops().show_cursor(0), -1);
  EXPECT_EQ(ops().show_cursor(0), -2);
  EXPECT_EQ(ops().show_cursor(1), -1);
  EXPECT_EQ(ops().show_cursor(1), 0);
}

TEST_F(X11Backend, KeysCarryVirtualKeyScanCodeAndCharacters) {
  show();
  PwMsg a = tap(38, 'A');
  EXPECT_EQ(static_cast<uint32_t>(a.lparam), 0x001E0001u);
  const PwMsg* up = nullptr;
  for (const PwMsg& m : pumped_)
    if (m.message == PW_WM_KEYUP) up = &m;
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(static_cast<uint32_t>(up->lparam), 0xC01E0001u);
  bool char_a = false;
  for (const PwMsg& m : pumped_) char_a |= m.message == PW_WM_CHAR && m.wparam == 'a';
  EXPECT_TRUE(char_a) << "TranslateMessage makes the character";
  uint8_t keys[256] = {};
  ops().get_keyboard_state(keys);
  uint16_t ascii = 0;
  EXPECT_EQ(ops().to_ascii('A', 0x1E, keys, &ascii, 0), 1);
  EXPECT_EQ(ascii, 'a');
  char16_t unit[4] = {};
  EXPECT_EQ(ops().to_unicode('A', 0x1E, keys, unit, 4, 0), 1);
  EXPECT_EQ(unit[0], u'a');

  struct Case {
    int keycode;
    uint32_t vk, scan;
    bool extended;
    uint16_t ascii;
  };
  for (const Case& c :
       {Case{9, PW_VK_ESCAPE, 0x01, false, 0x1B}, Case{67, PW_VK_F1, 0x3B, false, 0},
        Case{111, PW_VK_UP, 0x48, true, 0}, Case{104, PW_VK_RETURN, 0x1C, true, '\r'},
        Case{82, PW_VK_SUBTRACT, 0x4A, false, '-'}, Case{105, PW_VK_CONTROL, 0x1D, true, 0},
        Case{62, PW_VK_SHIFT, 0x36, false, 0}}) {
    PwMsg down = tap(c.keycode, c.vk);
    EXPECT_EQ(pw_key_scan_code(down.lparam), c.scan) << c.keycode;
    EXPECT_EQ(pw_key_extended(down.lparam), c.extended) << c.keycode;
    ops().get_keyboard_state(keys);
    uint16_t out = 0;
    EXPECT_EQ(ops().to_ascii(c.vk, c.scan, keys, &out, 0), c.ascii ? 1 : 0) << c.keycode;
    if (c.ascii) {
      EXPECT_EQ(out, c.ascii) << c.keycode;
    }
  }

  // Shift held: its own side in the keyboard state, and the shifted character.
  pumped_.clear();
  ASSERT_TRUE(xdotool("keydown 50 key 38 keyup 50"));
  const PwMsg* shift = key_message(PW_WM_KEYDOWN, PW_VK_SHIFT);
  ASSERT_NE(shift, nullptr);
  EXPECT_EQ(pw_key_scan_code(shift->lparam), 0x2Au);
  EXPECT_TRUE(key_state(PW_VK_LSHIFT) & PW_KEY_STATE_DOWN);
  EXPECT_FALSE(key_state(PW_VK_RSHIFT) & PW_KEY_STATE_DOWN);
  ASSERT_NE(key_message(PW_WM_CHAR, 'A'), nullptr);
  ASSERT_NE(key_message(PW_WM_KEYUP, PW_VK_SHIFT), nullptr);
  EXPECT_FALSE(key_state(PW_VK_SHIFT) & PW_KEY_STATE_DOWN);
}

TEST_F(X11Backend, KeypadKeysFollowNumLockAsOnWindows) {
  show();
  // Whatever the lock's state now, keypad 8 gives the arrow with it off and the digit with it on.
  for (int round = 0; round < 2; ++round) {
    bool numlock = key_state(PW_VK_NUMLOCK) & PW_KEY_STATE_TOGGLED;
    PwMsg down = tap(80, numlock ? PW_VK_NUMPAD0 + 8 : PW_VK_UP);
    EXPECT_EQ(pw_key_scan_code(down.lparam), 0x48u);
    EXPECT_FALSE(pw_key_extended(down.lparam));
    uint8_t keys[256] = {};
    ops().get_keyboard_state(keys);
    uint16_t ascii = 0;
    EXPECT_EQ(ops().to_ascii(static_cast<uint32_t>(down.wparam), 0x48, keys, &ascii, 0),
              numlock ? 1 : 0);
    if (numlock) {
      EXPECT_EQ(ascii, '8');
    }
    PwMsg lock = tap(77, PW_VK_NUMLOCK);
    EXPECT_EQ(pw_key_scan_code(lock.lparam), 0x45u);
    EXPECT_TRUE(pw_key_extended(lock.lparam));
    EXPECT_NE(static_cast<bool>(key_state(PW_VK_NUMLOCK) & PW_KEY_STATE_TOGGLED), numlock);
  }
}

// The key is released only after the first repeat has arrived, however long the server takes
// under load; and autorepeat is switched on here, since another suite on the same server may
// have switched it off.
TEST_F(X11Backend, HeldKeyRepeatsAsPressesWithThePreviousStateBit) {
  show();
  ASSERT_TRUE(shell("xset r on r rate 200 30"));
  // The server's default delay and rate come back however the test ends.
  struct DefaultRate {
    ~DefaultRate() { shell("xset r rate"); }
  } default_rate;
  pumped_.clear();
  ASSERT_TRUE(xdotool("keydown 38"));
  int seen = 0;
  const PwMsg* repeat = pump_until([&seen](const PwMsg& m) {
    return m.message == PW_WM_KEYDOWN && m.wparam == 'A' && ++seen == 2;
  });
  ASSERT_TRUE(xdotool("keyup 38"));
  ASSERT_NE(repeat, nullptr) << "no repeat while the key was held";
  ASSERT_NE(key_message(PW_WM_KEYUP, 'A'), nullptr);
  int presses = 0, releases = 0;
  for (const PwMsg& m : pumped_) {
    if (m.message == PW_WM_KEYDOWN && m.wparam == 'A') {
      EXPECT_EQ(pw_key_previous_down(m.lparam), presses > 0);
      ++presses;
    }
    if (m.message == PW_WM_KEYUP && m.wparam == 'A') ++releases;
  }
  EXPECT_GE(presses, 2);
  EXPECT_EQ(releases, 1);
}

TEST_F(X11Backend, CloseRequestBecomesTheCloseCommand) {
  show();
  pumped_.clear();
  g_received.clear();
  ASSERT_EQ(std::system((std::string(MIKADO_SENDCLOSE) + " " + xid()).c_str()), 0);
  const PwMsg* command = pump_for(PW_WM_SYSCOMMAND);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->wparam, PW_SC_CLOSE);
  // DefWindowProc turned the command into WM_CLOSE, which the window procedure refused.
  EXPECT_TRUE(received(PW_WM_CLOSE));
  PwRect client{};
  EXPECT_EQ(ops().get_client_rect(window_, &client), 1);
}

TEST_F(X11Backend, DisplayModesAreListedSwitchedAndRestored) {
  show();
  // Extra modes for the switch; a left-over of an earlier run is fine.
  std::system(
      "xrandr --newmode 1024x768 63.5 1024 1072 1176 1328 768 771 775 798 -hsync +vsync "
      "2>/dev/null; xrandr --addmode screen 1024x768 2>/dev/null");
  int32_t screen_width = ops().get_system_metrics(PW_SM_CXSCREEN);
  int32_t screen_height = ops().get_system_metrics(PW_SM_CYSCREEN);
  PwDc screen = ops().get_dc(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(ops().get_device_caps(screen, PW_BITSPIXEL), 32);
  ops().release_dc(nullptr, screen);

  bool listed = false;
  PwDevMode mode{};
  mode.size = sizeof mode;
  for (uint32_t i = 0; ops().enum_display_settings(nullptr, i, &mode); ++i) {
    EXPECT_EQ(mode.bits_per_pel, 32u);
    listed |= mode.pels_width == 1024 && mode.pels_height == 768;
  }
  ASSERT_TRUE(listed);

  PwDevMode wanted{};
  wanted.size = sizeof wanted;
  wanted.fields = PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_BITSPERPEL;
  wanted.pels_width = 1000;
  wanted.pels_height = 700;
  wanted.bits_per_pel = 32;
  EXPECT_EQ(ops().change_display_settings(&wanted, 0), PW_DISP_CHANGE_BADMODE);
  wanted.pels_width = 1024;
  wanted.pels_height = 768;
  EXPECT_EQ(ops().change_display_settings(&wanted, PW_CDS_TEST), PW_DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(ops().get_system_metrics(PW_SM_CXSCREEN), screen_width);

  g_received.clear();
  EXPECT_EQ(ops().change_display_settings(&wanted, PW_CDS_FULLSCREEN), PW_DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(ops().get_system_metrics(PW_SM_CXSCREEN), 1024);
  EXPECT_EQ(ops().get_system_metrics(PW_SM_CYSCREEN), 768);
  ASSERT_NE(last_received(PW_WM_DISPLAYCHANGE), nullptr);
  EXPECT_EQ(last_received(PW_WM_DISPLAYCHANGE)->lparam, pw_make_lparam(1024, 768));
  ASSERT_EQ(ops().enum_display_settings(nullptr, PW_ENUM_CURRENT_SETTINGS, &mode), 1);
  EXPECT_EQ(mode.pels_width, 1024u);

  EXPECT_EQ(ops().change_display_settings(nullptr, 0), PW_DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(ops().get_system_metrics(PW_SM_CXSCREEN), screen_width);
  EXPECT_EQ(ops().get_system_metrics(PW_SM_CYSCREEN), screen_height);
  std::system("xrandr --delmode screen 1024x768 2>/dev/null; xrandr --rmmode 1024x768 2>/dev/null");
}

TEST_F(X11Backend, GlxContextFromTheChosenPixelFormat) {
  show();
  PwDc dc = ops().get_dc(window_);
  ASSERT_NE(dc, nullptr);
  PwPixelFormatDescriptor request{};
  request.size = sizeof request;
  request.version = 1;
  request.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL | PW_PFD_DOUBLEBUFFER;
  request.pixel_type = PW_PFD_TYPE_RGBA;
  request.color_bits = 16;
  request.depth_bits = 16;
  request.stencil_bits = 1;
  request.alpha_bits = 1;
  int32_t format = ops().choose_pixel_format(dc, &request);
  ASSERT_GT(format, 0);
  PwPixelFormatDescriptor described{};
  int32_t count = ops().describe_pixel_format(dc, format, sizeof described, &described);
  ASSERT_GE(count, format);
  EXPECT_TRUE(described.flags & PW_PFD_DOUBLEBUFFER);
  EXPECT_EQ(described.pixel_type, PW_PFD_TYPE_RGBA);
  EXPECT_GE(described.depth_bits, 16);
  EXPECT_GT(described.stencil_bits, 0);
  EXPECT_GT(described.alpha_bits, 0);
  EXPECT_EQ(ops().describe_pixel_format(dc, count + 1, sizeof described, &described), 0);

  ASSERT_EQ(ops().set_pixel_format(dc, format, &described), 1);
  EXPECT_EQ(ops().set_pixel_format(dc, format == 1 ? 2 : 1, &described), 0);  // set once
  EXPECT_EQ(ops().wgl_get_proc_address("glBindBuffer"), nullptr);  // no current context yet
  PwGlContext context = ops().wgl_create_context(dc);
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(ops().wgl_make_current(dc, context), 1);
  const unsigned char* renderer = ops().gl_get_string(PW_GL_RENDERER);
  ASSERT_NE(renderer, nullptr);
  EXPECT_GT(std::string(reinterpret_cast<const char*>(renderer)).size(), 0u);
  EXPECT_NE(ops().gl_get_string(PW_GL_VERSION), nullptr);
  EXPECT_NE(ops().wgl_get_proc_address("glBindBuffer"), nullptr);
  ops().gl_viewport(0, 0, kClient, kClient);
  ops().gl_matrix_mode(PW_GL_PROJECTION);
  ops().gl_load_identity();
  ops().gl_ortho(-1, 1, -1, 1, -1, 1);
  EXPECT_EQ(ops().swap_buffers(dc), 1);
  EXPECT_EQ(ops().wgl_make_current(nullptr, nullptr), 1);
  EXPECT_EQ(ops().wgl_delete_context(context), 1);
  EXPECT_EQ(ops().release_dc(window_, dc), 1);
}

TEST_F(X11Backend, ChangesMadeByOthersReachTheWindowProcedureWhenTheQueueIsRead) {
  show();
  std::string id = xid();

  // Someone else resizes the window: WM_SIZE arrives during the next look at the queue, and the
  // newly exposed area waits to be painted.
  g_received.clear();
  ASSERT_TRUE(xdotool("windowsize --sync " + id + " 900 850"));
  ASSERT_NE(pump_until([](const PwMsg&) { return last_received(PW_WM_SIZE) != nullptr; }), nullptr);
  EXPECT_EQ(last_received(PW_WM_SIZE)->lparam, pw_make_lparam(900, 850));
  PwRect client{};
  ops().get_client_rect(window_, &client);
  EXPECT_EQ(client.right, 900);
  EXPECT_EQ(client.bottom, 850);

  // Unmapped by someone else, as a window manager iconifies: the minimise command; mapped again:
  // the restore command.
  pumped_.clear();
  ASSERT_TRUE(xdotool("windowunmap --sync " + id));
  const PwMsg* minimise = pump_for(PW_WM_SYSCOMMAND);
  ASSERT_NE(minimise, nullptr);
  EXPECT_EQ(minimise->wparam, PW_SC_MINIMIZE);
  ops().get_client_rect(window_, &client);
  EXPECT_EQ(client.right, 0) << "an iconic window has no client area";
  pumped_.clear();
  ASSERT_TRUE(xdotool("windowmap --sync " + id));
  const PwMsg* restore = pump_for(PW_WM_SYSCOMMAND);
  ASSERT_NE(restore, nullptr);
  EXPECT_EQ(restore->wparam, PW_SC_RESTORE);
  ops().get_client_rect(window_, &client);
  EXPECT_EQ(client.right, 900);

  // The keyboard focus taken by another window: WM_KILLFOCUS.
  PwWindow other = ops().create_window_ex(0, class_name_.c_str(), "X11OTHER", kStyle, 0, 0, 100,
                                          100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  ops().show_window(other, PW_SW_SHOWNA);
  g_received.clear();
  ASSERT_TRUE(xdotool("windowfocus --sync $(xdotool search --name '^X11OTHER$')"));
  EXPECT_NE(pump_until([](const PwMsg&) { return received(PW_WM_KILLFOCUS); }), nullptr);
  EXPECT_EQ(ops().destroy_window(other), 1);
}

TEST(X11Text, WideCharactersConvertToUtf8AndToLatin1) {
  const PlatformOps& p = platform();
  const char16_t text[] = u"a\u00e9\U0001F600";  // a, e acute, a character beyond the BMP
  char out[16] = {};
  EXPECT_EQ(p.wide_char_to_multi_byte(PW_CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 8);
  ASSERT_EQ(p.wide_char_to_multi_byte(PW_CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr),
            8);
  EXPECT_STREQ(out, "a\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(p.wide_char_to_multi_byte(PW_CP_UTF8, 0, text, -1, out, 4, nullptr, nullptr), 0)
      << "too small a buffer fails";
  int32_t used_default = 0;
  ASSERT_EQ(
      p.wide_char_to_multi_byte(PW_CP_ACP, 0, text, 3, out, sizeof out, nullptr, &used_default), 3);
  EXPECT_EQ(std::string(out, 3), "a\xe9?");
  EXPECT_EQ(used_default, 1);
}

// Without an X display every operation that needs one fails and nothing crashes. Checked in a
// fresh process, since this one is connected already.
TEST(X11NoDisplay, OperationsNeedingTheDisplayFailCleanly) {
  if (std::getenv("MIKADO_X11_NO_DISPLAY_CHILD") == nullptr) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      unsetenv("DISPLAY");
      setenv("MIKADO_X11_NO_DISPLAY_CHILD", "1", 1);
      execl("/proc/self/exe", "x11_no_display", "--gtest_filter=X11NoDisplay.*", nullptr);
      _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    return;
  }
  const PlatformOps& p = platform();
  PwWndClass window_class{};
  window_class.window_proc = test_proc;
  window_class.class_name = "NoDisplay";
  EXPECT_NE(p.register_class(&window_class), 0);
  EXPECT_EQ(p.create_window_ex(0, "NoDisplay", kTitle, kStyle, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr),
            nullptr);
  EXPECT_EQ(p.get_system_metrics(PW_SM_CXSCREEN), 0);
  PwDevMode mode{};
  EXPECT_EQ(p.enum_display_settings(nullptr, 0, &mode), 0);
  EXPECT_EQ(p.change_display_settings(nullptr, 0), PW_DISP_CHANGE_FAILED);
  EXPECT_EQ(p.get_dc(nullptr), nullptr);
  PwMsg msg{};
  EXPECT_EQ(p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE), 0);
  EXPECT_EQ(p.wait_message(), 0);
  PwPoint point{};
  EXPECT_EQ(p.get_cursor_pos(&point), 0);
  EXPECT_EQ(p.set_cursor_pos(1, 1), 0);
  EXPECT_EQ(p.wgl_get_proc_address("glBindBuffer"), nullptr);
  EXPECT_EQ(p.unregister_class("NoDisplay", nullptr), 1);
}

}  // namespace
