#include <functional>

#include "lifecycle_fixture.h"

namespace {

class Init : public LifecycleTest {};

ToolkitWindow* window() {
  return current_window();
}

TEST_F(Init, WindowedInitGivesTheExactClientAreaWhateverTheFrame) {
  scripted::set_frame(3, 22, 3, 3);
  bool ok = false;
  EXPECT_EQ(init(0, false, false, false, &ok),
            "PFD 1, Scripted Vendor OpenGL on Scripted Renderer ver. 1.1.0.\n");
  ASSERT_TRUE(ok);
  ASSERT_NE(window(), nullptr);
  PwRect client = scripted::client_rect(window()->hwnd);
  EXPECT_EQ(client.right - client.left, 800);
  EXPECT_EQ(client.bottom - client.top, 800);
  EXPECT_EQ(window()->width, 800);
  EXPECT_EQ(window()->height, 800);
  PwRect outer = scripted::window_rect(window()->hwnd);
  EXPECT_EQ(outer.right - outer.left, 806);
  EXPECT_EQ(outer.bottom - outer.top, 825);
  EXPECT_TRUE(window()->visible);
  EXPECT_TRUE(window()->focused);
  EXPECT_EQ(window()->video_mode, -1);
  EXPECT_EQ(scripted::title(window()->hwnd), "TEST");
  EXPECT_TRUE(scripted::class_registered("Quillfen42421000"));  // process id, then tick count
  EXPECT_NE(scripted::current_context(), nullptr);
  EXPECT_EQ(scripted::pixel_format(window()->hdc), 1);
  EXPECT_EQ(scripted::count_calls("ChangeDisplaySettingsA"), 0);
}

TEST_F(Init, StyleFollowsTheConfiguration) {
  struct Case {
    std::function<void()> configure;
    const char* style;
  };
  const Case cases[] = {
      {[] { quillfen_configure_window("T", 800, 800, false); }, "style=0x86c00000"},
      {[] { quillfen_configure_window("T", 800, 800, true); }, "style=0x86000000"},
      {[] { quillfen_configure_resizable_window("T", 800, 800, 0, 0); }, "style=0x6cf0000"},
  };
  for (const Case& c : cases) {
    c.configure();
    scripted::clear_calls();
    bool ok = false;
    init(0, false, false, false, &ok);
    EXPECT_TRUE(ok);
    int create = call_index("CreateWindowExA");
    ASSERT_GE(create, 0);
    EXPECT_NE(scripted::calls()[static_cast<size_t>(create)].detail.find(c.style),
              std::string::npos)
        << scripted::calls()[static_cast<size_t>(create)].detail;
    output_of([] { quillfen_shutdown(); });
  }
  expect_nothing_left();
}

TEST_F(Init, ZeroSizeReachesTheScreenEdge) {
  quillfen_configure_resizable_window("T", 0, 0, 100, 24);
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(window()->width, 1180);
  EXPECT_EQ(window()->height, 1000);
  EXPECT_EQ(window()->x, 100);
}

TEST_F(Init, WithoutConfigurationAFullScreenPopupTakesTheDesktopSizedMode) {
  window_config = WindowConfig{"Quillfen", 0, 0, 0, 0, false, true};
  scripted::set_modes(
      {dev_mode(1280, 1024, 16, 1), dev_mode(640, 480, 8, 60), dev_mode(1280, 1024, 32, 60)});
  bool ok = false;
  // The mode equals the desktop, so no change is made and nothing is printed but the renderer.
  EXPECT_EQ(init(0, false, false, false, &ok),
            "PFD 1, Scripted Vendor OpenGL on Scripted Renderer ver. 1.1.0.\n");
  ASSERT_TRUE(ok);
  EXPECT_EQ(window()->video_mode, 1);
  ASSERT_EQ(window()->mode_count, 2);            // the 8-bit mode is not listed
  EXPECT_EQ(window()->modes[0].refresh_hz, 0u);  // reported as 1, the hardware default
  EXPECT_EQ(scripted::title(window()->hwnd), "Quillfen");
  PwRect outer = scripted::window_rect(window()->hwnd);
  EXPECT_EQ(outer.left, 0);
  EXPECT_EQ(outer.right, 1280);
  EXPECT_EQ(outer.bottom, 1024);
}

TEST_F(Init, FullScreenPicksTheFirstModeOfItsSizeAndDepthWhateverTheRefresh) {
  quillfen_configure_window("T", 800, 600, true);
  scripted::set_modes(
      {dev_mode(800, 600, 16, 60), dev_mode(800, 600, 32, 85), dev_mode(800, 600, 32, 60)});
  bool ok = false;
  std::string out = init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out,
            "Calling CDS()...\n... Ok!\nPFD 1, Scripted Vendor OpenGL on Scripted Renderer ver. "
            "1.1.0.\n");
  EXPECT_EQ(window()->video_mode, 1);
  EXPECT_EQ(scripted::current_mode().pels_width, 800u);
  EXPECT_EQ(scripted::current_mode().display_frequency, 85u);
  EXPECT_EQ(window()->screen_width, 800);
  EXPECT_EQ(window()->screen_height, 600);
}

TEST_F(Init, FullScreenWithoutAMatchingModeKeepsTheDesktop) {
  quillfen_configure_window("T", 1024, 768, true);
  scripted::set_modes({dev_mode(1024, 768, 16, 60), dev_mode(800, 600, 32, 60)});
  bool ok = false;
  EXPECT_EQ(init(0, false, false, false, &ok),
            "PFD 1, Scripted Vendor OpenGL on Scripted Renderer ver. 1.1.0.\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(window()->video_mode, -1);
  EXPECT_EQ(scripted::count_calls("ChangeDisplaySettingsA"), 0);
}

TEST_F(Init, FullScreenOnAPaletteDisplayLooksFor32Bits) {
  scripted::set_screen(1280, 1024, 8, 60);
  desktop_ = scripted::current_mode();
  quillfen_configure_window("T", 800, 600, true);
  scripted::set_modes(
      {dev_mode(800, 600, 8, 60), dev_mode(800, 600, 16, 60), dev_mode(800, 600, 32, 60)});
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(window()->video_mode, 1);  // the list holds no 8-bit mode
  EXPECT_EQ(scripted::current_mode().bits_per_pel, 32u);
  output_of([] { quillfen_shutdown(); });
  expect_nothing_left();
}

TEST_F(Init, ProjectionSpansTheAspectRatioHorizontally) {
  struct Case {
    int32_t width, height;
    const char* ortho;
  };
  for (const Case& c : {Case{1000, 500, "-2 2 -1 1 -1 1"}, Case{800, 800, "-1 1 -1 1 -1 1"}}) {
    quillfen_configure_window("T", c.width, c.height, false);
    scripted::clear_calls();
    bool ok = false;
    init(0, false, false, false, &ok);
    ASSERT_TRUE(ok);
    std::vector<std::string> gl;
    for (const auto& call : scripted::calls())
      if (call.name.rfind("gl", 0) == 0 && call.name != "glGetString")
        gl.push_back(call.name + " " + call.detail);
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const std::vector<std::string> expected = {
        "glViewport 0,0 " + size,          "glMatrixMode 5889", "glLoadIdentity ",
        std::string("glOrtho ") + c.ortho, "glMatrixMode 5888", "glLoadIdentity "};
    EXPECT_EQ(gl, expected);
    output_of([] { quillfen_shutdown(); });
  }
}

TEST_F(Init, SecondInitReplacesTheFirstWindow) {
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  PwWindow first = window()->hwnd;
  std::string first_class = window()->class_name;
  scripted::clear_calls();
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  EXPECT_FALSE(scripted::is_window(first));
  EXPECT_TRUE(scripted::is_window(window()->hwnd));
  EXPECT_EQ(scripted::class_count(), 1u);
  EXPECT_EQ(scripted::live_contexts(), 1);
  int unregister = call_index("UnregisterClassA");
  ASSERT_GE(unregister, 0);
  EXPECT_EQ(scripted::calls()[static_cast<size_t>(unregister)].detail, first_class);
  EXPECT_LT(unregister, call_index("RegisterClassA"));
}

TEST_F(Init, NullGlStringsPrintAsNull) {
  scripted::set_gl_string(PW_GL_VENDOR, nullptr);
  bool ok = false;
  EXPECT_EQ(init(0, false, false, false, &ok),
            "PFD 1, (null) OpenGL on Scripted Renderer ver. 1.1.0.\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(quillfen_context->gl_vendor, nullptr);
  EXPECT_STREQ(quillfen_context->gl_extensions, "GL_SCRIPTED_none");
}

// One failing step each: its one line, then nothing left behind.
struct Failure {
  const char* name;
  std::function<void()> arrange;
  const char* message;
  bool depth, stencil, alpha;
};

class InitFailure : public LifecycleTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(InitFailure, PrintsItsLineAndLeavesNothing) {
  const Failure& f = GetParam();
  f.arrange();
  desktop_ = scripted::current_mode();
  bool ok = true;
  std::string out = init(0, f.depth, f.stencil, f.alpha, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(out, std::string(f.message) + "\n");
  expect_nothing_left();
}

const Failure kFailures[] = {
    {"BothResizableAndFullScreen",
     [] {
       window_config.resizable = true;
       window_config.fullscreen = true;
     },
     "Can't create resizeable window without caption.", false, false, false},
    {"RegisterClass", [] { scripted::fail("RegisterClassA"); }, "RegisterClass() failed.", false,
     false, false},
    {"CreateWindow", [] { scripted::fail("CreateWindowExA"); }, "CreateWindow() failed.", false,
     false, false},
    {"PaletteDisplay", [] { scripted::set_screen(1280, 1024, 8, 60); },
     "True or high color mode required.", false, false, false},
    {"ChoosePixelFormat", [] { scripted::fail("ChoosePixelFormat"); },
     "ChoosePixelFormat() failed.", false, false, false},
    {"DescribePixelFormat", [] { scripted::fail("DescribePixelFormat"); },
     "DescribePixelFormat() failed.", false, false, false},
    {"NoDepthChecksDepthFirst",
     [] { scripted::set_pixel_formats({pixel_format_with(0, 0, 0)}, 1); },
     "Renderer doesn't support Z-buffering.", true, true, true},
    {"NoAlphaBeforeStencil", [] { scripted::set_pixel_formats({pixel_format_with(16, 0, 0)}, 1); },
     "Renderer doesn't support dst alpha.", true, true, true},
    {"NoStencil", [] { scripted::set_pixel_formats({pixel_format_with(16, 0, 8)}, 1); },
     "Renderer doesn't support stencil.", true, true, true},
    {"SetPixelFormat", [] { scripted::fail("SetPixelFormat"); }, "SetPixelFormat() failed.", false,
     false, false},
    {"CreateContext", [] { scripted::fail("wglCreateContext"); }, "wglCreateContext() failed.",
     false, false, false},
    {"MakeCurrent", [] { scripted::fail("wglMakeCurrent"); }, "wglMakeCurrent() failed.", false,
     false, false},
};

INSTANTIATE_TEST_SUITE_P(EachStep, InitFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Init, FailureAfterTheModeSwitchRestoresTheDesktop) {
  quillfen_configure_window("T", 800, 600, true);
  scripted::set_modes({dev_mode(800, 600, 32, 60)});
  scripted::fail("ChoosePixelFormat");
  bool ok = true;
  EXPECT_EQ(init(0, false, false, false, &ok),
            "Calling CDS()...\n... Ok!\nChoosePixelFormat() failed.\n");
  EXPECT_FALSE(ok);
  expect_nothing_left();
}

TEST_F(Init, FailedSecondInitLeavesNeitherWindow) {
  bool ok = false;
  init(0, false, false, false, &ok);
  ASSERT_TRUE(ok);
  scripted::fail("CreateWindowExA");
  EXPECT_EQ(init(0, false, false, false, &ok), "CreateWindow() failed.\n");
  EXPECT_FALSE(ok);
  expect_nothing_left();
  // Configuration works again once uninitialised.
  EXPECT_TRUE(quillfen_configure_window("again", 640, 480, false));
}

}  // namespace
