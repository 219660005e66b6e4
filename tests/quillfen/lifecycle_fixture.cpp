#include "lifecycle_fixture.h"

#include "tracked_alloc.h"

void LifecycleTest::SetUp() {
  scripted::install();
  baseline_allocations_ = live_allocations;
  saved_config_ = window_config;
  desktop_ = scripted::current_mode();
  quillfen_configure_window("TEST", 800, 800, false);
}

void LifecycleTest::TearDown() {
  output_of([] { quillfen_shutdown(); });
  window_config = saved_config_;
  scripted::uninstall();
  EXPECT_EQ(live_allocations, baseline_allocations_);
}

std::string LifecycleTest::init(int32_t version, bool depth, bool stencil, bool alpha,
                                bool* result) {
  bool done = false;
  std::string out = output_of([&] { done = quillfen_init(version, depth, stencil, alpha); });
  if (result != nullptr) *result = done;
  return out;
}

std::vector<ToolkitEvent> LifecycleTest::drain() {
  std::vector<ToolkitEvent> events;
  quillfen_poll();
  ToolkitEvent event{};
  while (quillfen_take_oldest(0, &event)) events.push_back(event);
  return events;
}

void LifecycleTest::expect_nothing_left() {
  EXPECT_EQ(quillfen_context, nullptr);
  EXPECT_EQ(live_allocations, baseline_allocations_);
  EXPECT_EQ(scripted::window_count(), 0u);
  EXPECT_EQ(scripted::class_count(), 0u);
  EXPECT_EQ(scripted::live_contexts(), 0);
  EXPECT_EQ(scripted::current_context(), nullptr);
  PwDevMode now = scripted::current_mode();
  EXPECT_EQ(now.pels_width, desktop_.pels_width);
  EXPECT_EQ(now.pels_height, desktop_.pels_height);
  EXPECT_EQ(now.bits_per_pel, desktop_.bits_per_pel);
  EXPECT_EQ(now.display_frequency, desktop_.display_frequency);
}

int LifecycleTest::call_index(const std::string& name, int from) {
  const auto& calls = scripted::calls();
  for (int i = from; i < static_cast<int>(calls.size()); ++i)
    if (calls[static_cast<size_t>(i)].name == name) return i;
  return -1;
}

PwDevMode dev_mode(uint32_t width, uint32_t height, uint32_t depth, uint32_t refresh_hz) {
  PwDevMode m{};
  m.size = sizeof m;
  m.fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  m.pels_width = width;
  m.pels_height = height;
  m.bits_per_pel = depth;
  m.display_frequency = refresh_hz;
  return m;
}

PwPixelFormatDescriptor pixel_format_with(uint8_t depth_bits, uint8_t stencil_bits,
                                          uint8_t alpha_bits) {
  PwPixelFormatDescriptor pfd{};
  pfd.size = sizeof pfd;
  pfd.version = 1;
  pfd.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL | PW_PFD_DOUBLEBUFFER;
  pfd.pixel_type = PW_PFD_TYPE_RGBA;
  pfd.color_bits = 32;
  pfd.depth_bits = depth_bits;
  pfd.stencil_bits = stencil_bits;
  pfd.alpha_bits = alpha_bits;
  return pfd;
}
