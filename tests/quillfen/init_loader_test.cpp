// The GL loader as initialisation drives it. The entry-point slots live for the process, so each
// test starts from cleared slots.

#include "lifecycle_fixture.h"
#include "tgl_slots.h"

namespace {

PwProc address(uintptr_t value) {
  return reinterpret_cast<PwProc>(value);
}

class InitLoader : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
#define CLEAR_SLOT(type, name) tgl::name = nullptr;
    TGL_ENTRY_POINTS_ALL(CLEAR_SLOT)
#undef CLEAR_SLOT
  }
  void TearDown() override {
#define CLEAR_SLOT(type, name) tgl::name = nullptr;
    TGL_ENTRY_POINTS_ALL(CLEAR_SLOT)
#undef CLEAR_SLOT
    LifecycleTest::TearDown();
  }
  static constexpr const char* kRenderer =
      "PFD 1, Scripted Vendor OpenGL on Scripted Renderer ver. 1.1.0.\n";
};

TEST_F(InitLoader, VersionZeroLoadsNothing) {
  scripted::set_default_proc_address(address(0x5000));
  bool ok = false;
  EXPECT_EQ(init(0, false, false, false, &ok), kRenderer);
  EXPECT_TRUE(ok);
  EXPECT_EQ(scripted::count_calls("wglGetProcAddress"), 0);
  EXPECT_EQ(tgl::glTexImage3D, nullptr);
}

TEST_F(InitLoader, LoadsAfterTheContextIsCurrentAndTheToolkitInitialised) {
  scripted::set_default_proc_address(address(0x5000));
  bool ok = false;
  EXPECT_EQ(init(120, false, false, false, &ok),
            std::string(kRenderer) + "OpenGL 1.2 initialized.\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(reinterpret_cast<PwProc>(tgl::glTexImage3D), address(0x5000));
  EXPECT_GT(call_index("wglGetProcAddress"), call_index("glOrtho"));
  EXPECT_NE(quillfen_context, nullptr);
}

TEST_F(InitLoader, MissingCoreFunctionFailsInitCleanly) {
  scripted::set_default_proc_address(address(0x5000));
  scripted::set_proc_address("glTexSubImage3D", nullptr);
  bool ok = true;
  EXPECT_EQ(init(130, false, false, false, &ok),
            std::string(kRenderer) + "OpenGL 1.2 failed to initialize.\n");
  EXPECT_FALSE(ok);
  expect_nothing_left();
}

TEST_F(InitLoader, AnotherGlOnASecondInitFailsItCleanly) {
  scripted::set_default_proc_address(address(0x5000));
  bool ok = false;
  init(120, false, false, false, &ok);
  ASSERT_TRUE(ok);
  output_of([] { quillfen_shutdown(); });

  scripted::set_default_proc_address(address(0x6000));
  EXPECT_EQ(init(120, false, false, false, &ok),
            std::string(kRenderer) +
                "tgl_load_gl_1_2(): Warning: unable to load GL_ARB_imaging.\n"
                "Unable to switch to another GL implementation after first init.\n");
  EXPECT_FALSE(ok);
  expect_nothing_left();
  // The first implementation's addresses stay.
  EXPECT_EQ(reinterpret_cast<PwProc>(tgl::glTexImage3D), address(0x5000));
}

}  // namespace
