// Toolkit shutdown: the one way from initialised back to uninitialised.

#include "shutdown.h"

#include <cstdio>

#include "display_mode.h"
#include "pointer.h"
#include "tracked_alloc.h"

namespace {

// A teardown step the platform refused. The steps after it run all the same: whatever can still
// be released is, and every toolkit block is freed.
void report_failure(const char* call) {
  std::printf("%s() failed.\n", call);
}

void free_string(char*& copy) {
  if (copy == nullptr) return;
  tracked_free(copy);
  copy = nullptr;
}

void discard_events(ToolkitWindow* window) {
  EventNode* start = window->events;
  if (start == nullptr) return;
  EventNode* node = start;
  do {
    EventNode* next = node->next;
    tracked_free(node);
    node = next;
  } while (node != start);
  window->events = nullptr;
}

}  // namespace

void destroy_window(ToolkitWindow* window) {
  const PlatformOps& p = platform();

  // The toolkit hid the system cursor once, however often it counted a hide.
  if (window->cursor_hidden != 0) {
    window->cursor_hidden = 0;
    p.show_cursor(1);
  }

  if (window->capture_count != 0) {
    window->capture_count = 1;
    capture_drop(window);
  }

  if (window->video_mode != -1) {
    set_video_mode(window, -1);
    // A hidden window refuses the switch back, but the window is going away: leaving its mode
    // in force would leave the user's desktop in it after the program ends.
    if (window->video_mode != -1) {
      apply_display_mode(nullptr);
      window->video_mode = -1;
    }
  }

  if (window->hwnd != nullptr) {
    if (window->hdc != nullptr) p.release_dc(window->hwnd, window->hdc);
    // The property goes first, so the messages of destruction are not translated.
    p.remove_prop(window->hwnd, kWindowProperty);
    if (!p.destroy_window(window->hwnd)) report_failure("DestroyWindow");
  }

  if (window->modes != nullptr) tracked_free(window->modes);
  // Init's failure path may come here with no class registered: that refusal is expected.
  if (!p.unregister_class(window->class_name, p.get_module_handle(nullptr)) &&
      window->class_registered)
    report_failure("UnregisterClass");
  discard_events(window);
  tracked_free(window);
}

void release_context(ToolkitContext* context) {
  const PlatformOps& p = platform();
  p.wgl_make_current(nullptr, nullptr);
  if (context->gl_context != nullptr && !p.wgl_delete_context(context->gl_context))
    report_failure("wglDeleteContext");
  free_string(context->gl_vendor);
  free_string(context->gl_renderer);
  free_string(context->gl_version);
  free_string(context->gl_extensions);
  if (context->window != nullptr) {
    destroy_window(context->window);
    context->window = nullptr;
  }
  tracked_free(context);
}

void quillfen_shutdown() {
  ToolkitContext* context = quillfen_context;
  if (context == nullptr) return;
  // Cleared first: calls made while the records go away see an uninitialised toolkit.
  quillfen_context = nullptr;
  release_context(context);
}
