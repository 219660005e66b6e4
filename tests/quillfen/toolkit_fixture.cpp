#include "toolkit_fixture.h"

#include <cstdio>
#include <cstring>

#include "event_queue.h"
#include "tracked_alloc.h"
#include "translate.h"

void ToolkitTest::SetUp() {
  scripted::install();
  baseline_allocations_ = live_allocations;
  saved_config_ = window_config;
}

void ToolkitTest::TearDown() {
  while (!windows_.empty()) close_window(windows_.back());
  if (quillfen_context != nullptr) {
    tracked_free(quillfen_context);
    quillfen_context = nullptr;
  }
  window_config = saved_config_;
  scripted::uninstall();
  EXPECT_EQ(live_allocations, baseline_allocations_);
}

ToolkitWindow* ToolkitTest::open_window(int32_t width, int32_t height, int32_t x, int32_t y,
                                        bool current) {
  const PlatformOps& p = platform();
  auto* window = static_cast<ToolkitWindow*>(tracked_alloc(sizeof(ToolkitWindow)));
  window->video_mode = -1;
  std::snprintf(window->class_name, sizeof window->class_name, "QuillfenTest%d", next_class_++);
  window->window_class.style = PW_CS_CLASSDC;
  window->window_class.window_proc = window_proc;
  window->window_class.instance = p.get_module_handle(nullptr);
  window->window_class.icon_id = PW_IDI_WINLOGO;
  window->window_class.cursor_id = PW_IDC_ARROW;
  window->window_class.background_stock = PW_NULL_BRUSH;
  window->window_class.class_name = window->class_name;
  EXPECT_NE(p.register_class(&window->window_class), 0);
  std::strcpy(window->title, "TEST");
  window->x = x;
  window->y = y;
  window->width = width;
  window->height = height;
  window->screen_width = p.get_system_metrics(PW_SM_CXSCREEN);
  window->screen_height = p.get_system_metrics(PW_SM_CYSCREEN);
  window->hwnd = p.create_window_ex(
      0, window->class_name, window->title, PW_WS_POPUP | PW_WS_CLIPSIBLINGS | PW_WS_CLIPCHILDREN,
      x, y, width, height, nullptr, nullptr, window->window_class.instance, nullptr);
  EXPECT_NE(window->hwnd, nullptr);
  p.set_prop(window->hwnd, kWindowProperty, window);
  window->hdc = p.get_dc(window->hwnd);
  p.show_window(window->hwnd, PW_SW_SHOW);
  p.update_window(window->hwnd);
  window->visible = true;
  windows_.push_back(window);

  if (current && quillfen_context == nullptr) {
    quillfen_context = static_cast<ToolkitContext*>(tracked_alloc(sizeof(ToolkitContext)));
    quillfen_context->window = window;
    window_ = window;
  }
  // Start from a quiet state: nothing queued anywhere, no time base.
  for (ToolkitWindow* open : windows_) take_all(open);
  window->time_base = 0;
  scripted::clear_calls();
  return window;
}

void ToolkitTest::close_window(ToolkitWindow* window) {
  const PlatformOps& p = platform();
  take_all(window);
  p.release_dc(window->hwnd, window->hdc);
  p.remove_prop(window->hwnd, kWindowProperty);
  p.destroy_window(window->hwnd);
  p.unregister_class(window->class_name, window->window_class.instance);
  // The pump may have queued events for the window while it was being destroyed.
  take_all(window);
  if (quillfen_context != nullptr && quillfen_context->window == window) {
    quillfen_context->window = nullptr;
    window_ = nullptr;
  }
  std::erase(windows_, window);
  tracked_free(window);
}

std::vector<ToolkitEvent> ToolkitTest::take_all() {
  return window_ != nullptr ? take_all(window_) : std::vector<ToolkitEvent>{};
}

std::vector<ToolkitEvent> ToolkitTest::take_all(ToolkitWindow* window) {
  std::vector<ToolkitEvent> events;
  while (window->events != nullptr) {
    EventNode* oldest = window->events->prev;
    events.push_back(oldest->event);
    remove_event(window, oldest);
  }
  return events;
}
