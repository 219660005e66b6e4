// What initialisation hands the window system, checked against the Win32 values written out here:
// the pixel-format request, the window-class record, the caption cut to the record's 127
// characters, the frame of a non-square window, the projection of a window without height; and
// what a public call sees while shutdown runs.

#include <cstring>
#include <string>

#include "init_steps.h"
#include "lifecycle_fixture.h"
#include "translate.h"

namespace {

// The scripted table with some operations wrapped; the originals are still called.
struct Wrapped {
  PlatformOps ops{};
  const PlatformOps* scripted_ops = nullptr;
  std::vector<PwPixelFormatDescriptor> requests;
  std::vector<PwWndClass> classes;
  std::vector<std::string> during_shutdown;
};
Wrapped g_wrapped;

int32_t wrapped_choose(PwDc dc, const PwPixelFormatDescriptor* pfd) {
  g_wrapped.requests.push_back(*pfd);
  return g_wrapped.scripted_ops->choose_pixel_format(dc, pfd);
}

uint16_t wrapped_register(const PwWndClass* window_class) {
  g_wrapped.classes.push_back(*window_class);
  return g_wrapped.scripted_ops->register_class(window_class);
}

// What the public calls answer at this moment, as one line.
std::string public_view() {
  int32_t width = -1, height = -1;
  const bool sized = quillfen_get_window_size(&width, &height);
  return std::string(sized ? "size " : "no size ") + std::to_string(width) + "x" +
         std::to_string(height) + ", poll " + std::to_string(quillfen_poll()) + ", peek " +
         (quillfen_peek_oldest(0) != nullptr ? "event" : "none") + ", take " +
         std::to_string(quillfen_take_newest(0, nullptr));
}

int32_t wrapped_delete_context(PwGlContext context) {
  g_wrapped.during_shutdown.push_back("wglDeleteContext: " + public_view());
  return g_wrapped.scripted_ops->wgl_delete_context(context);
}

int32_t wrapped_destroy_window(PwWindow window) {
  g_wrapped.during_shutdown.push_back("DestroyWindow: " + public_view());
  return g_wrapped.scripted_ops->destroy_window(window);
}

class InitRecords : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    g_wrapped = Wrapped{};
    g_wrapped.scripted_ops = &platform();
    g_wrapped.ops = platform();
    g_wrapped.ops.choose_pixel_format = wrapped_choose;
    g_wrapped.ops.register_class = wrapped_register;
    g_wrapped.ops.wgl_delete_context = wrapped_delete_context;
    g_wrapped.ops.destroy_window = wrapped_destroy_window;
    install_platform(&g_wrapped.ops);
    scripted::set_pixel_formats({pixel_format_with(24, 8, 8)}, 1);
  }
};

TEST_F(InitRecords, PixelFormatRequestFollowsTheThreeSwitches) {
  struct Case {
    bool depth, stencil, alpha;
    uint8_t depth_bits, stencil_bits, alpha_bits;
  };
  for (const Case& c : {Case{false, false, false, 0, 0, 0}, Case{true, false, false, 16, 0, 0},
                        Case{false, true, false, 0, 1, 0}, Case{false, false, true, 0, 0, 1},
                        Case{true, true, true, 16, 1, 1}}) {
    g_wrapped.requests.clear();
    bool ok = false;
    init(0, c.depth, c.stencil, c.alpha, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(g_wrapped.requests.size(), 1u);
    const PwPixelFormatDescriptor& r = g_wrapped.requests[0];
    PwPixelFormatDescriptor expected{};
    expected.size = 40;
    expected.version = 1;
    expected.flags = 0x4 | 0x20 | 0x1;  // draw to window, support OpenGL, double buffer
    expected.pixel_type = 0;            // RGBA
    expected.color_bits = 16;
    expected.depth_bits = c.depth_bits;
    expected.stencil_bits = c.stencil_bits;
    expected.alpha_bits = c.alpha_bits;
    expected.layer_type = 0;  // main plane
    EXPECT_EQ(std::memcmp(&r, &expected, sizeof r), 0)
        << "depth " << c.depth << " stencil " << c.stencil << " alpha " << c.alpha << ": flags "
        << r.flags << " colour " << int{r.color_bits} << " depth " << int{r.depth_bits}
        << " stencil " << int{r.stencil_bits} << " alpha " << int{r.alpha_bits};
    output_of([] { quillfen_shutdown(); });
  }
}

TEST_F(InitRecords, WindowClassRecord) {
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(g_wrapped.classes.size(), 1u);
  const PwWndClass& wc = g_wrapped.classes[0];
  EXPECT_EQ(wc.style, 0x0040u);  // one device context shared by the class's windows
  EXPECT_EQ(wc.window_proc, &window_proc);
  EXPECT_EQ(wc.class_extra, 0);
  EXPECT_EQ(wc.window_extra, 0);
  EXPECT_EQ(wc.instance, platform().get_module_handle(nullptr));
  EXPECT_EQ(wc.icon_id, 32517u);       // IDI_WINLOGO
  EXPECT_EQ(wc.cursor_id, 32512u);     // IDC_ARROW
  EXPECT_EQ(wc.background_stock, 5u);  // NULL_BRUSH: the background is never erased
  EXPECT_EQ(wc.menu_name, nullptr);
  EXPECT_STREQ(wc.class_name, current_window()->class_name);
  EXPECT_TRUE(current_window()->class_registered);
}

TEST_F(InitRecords, TitleIsCutTo127AtInit) {
  std::string title;
  for (int i = 0; i < 600; ++i) title += static_cast<char>('a' + i % 26);
  quillfen_configure_window(title.c_str(), 800, 800, false);
  EXPECT_EQ(std::strlen(window_config.title), 511u);
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  const std::string kept = title.substr(0, 127);
  EXPECT_EQ(std::string(current_window()->title), kept);
  EXPECT_EQ(scripted::title(current_window()->hwnd), kept);
  const int create = call_index("CreateWindowExA");
  ASSERT_GE(create, 0);
  EXPECT_EQ(scripted::calls()[static_cast<size_t>(create)].detail.substr(0, 128), kept + " ");
}

// A framed window of another width than height: the frame is added to each side's own size.
TEST_F(InitRecords, NonSquareWindowGetsItsExactClientArea) {
  scripted::set_frame(3, 22, 5, 4);
  quillfen_configure_window("T", 640, 480, false);
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  const PwRect client = scripted::client_rect(current_window()->hwnd);
  EXPECT_EQ(client.right - client.left, 640);
  EXPECT_EQ(client.bottom - client.top, 480);
  const PwRect outer = scripted::window_rect(current_window()->hwnd);
  EXPECT_EQ(outer.right - outer.left, 648);
  EXPECT_EQ(outer.bottom - outer.top, 506);
  EXPECT_EQ(current_window()->width, 640);
  EXPECT_EQ(current_window()->height, 480);
}

// A window without height (minimised while opening) gets a square projection, not an infinite
// one; a wide one spans its aspect ratio horizontally.
TEST_F(InitRecords, ProjectionOfAWindowWithoutHeightIsSquare) {
  struct Case {
    int32_t width, height;
    const char* viewport;
    const char* ortho;
  };
  for (const Case& c :
       {Case{800, 0, "0,0 800x0", "-1 1 -1 1 -1 1"}, Case{0, 600, "0,0 0x600", "-0 0 -1 1 -1 1"},
        Case{300, 200, "0,0 300x200", "-1.5 1.5 -1 1 -1 1"}}) {
    ToolkitWindow window{};
    window.width = c.width;
    window.height = c.height;
    scripted::clear_calls();
    set_initial_gl_state(&window);
    std::vector<std::string> gl;
    for (const auto& call : scripted::calls())
      if (call.name == "glViewport" || call.name == "glOrtho") gl.push_back(call.detail);
    EXPECT_EQ(gl, (std::vector<std::string>{c.viewport, c.ortho})) << c.width << "x" << c.height;
  }
}

// Shutdown clears the global pointer first: calls made while the records go away (here from
// inside the platform's teardown calls) find an uninitialised toolkit.
TEST_F(InitRecords, PublicCallsDuringShutdownSeeAnUninitialisedToolkit) {
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  scripted::key_down(current_window()->hwnd, 'A', 0x1E);
  quillfen_poll();
  ASSERT_NE(quillfen_peek_oldest(0), nullptr);
  output_of([] { quillfen_shutdown(); });
  const std::string uninitialised = "no size -1x-1, poll 0, peek none, take 0";
  EXPECT_EQ(g_wrapped.during_shutdown,
            (std::vector<std::string>{"wglDeleteContext: " + uninitialised,
                                      "DestroyWindow: " + uninitialised}));
  expect_nothing_left();
}

}  // namespace
