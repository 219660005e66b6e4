// The viewer's single-threaded loop: events first, then paced frames.

#include "viewer.h"

namespace {

// Applies one event; returns false when it asks to quit.
bool handle_event(ViewState& view, const ToolkitEvent& event) {
  switch (event.kind) {
    case EVENT_KEY:
      // Presses only; compared unsigned, so no negative code gets through either.
      if (event.pressed == 0 ||
          static_cast<uint32_t>(event.key) > static_cast<uint32_t>(QUILLFEN_KEY_MAX)) {
        return true;
      }
      switch (handle_key(view, event.key)) {
        case BINDING_QUIT:
          return false;
        case BINDING_PROJECTION:
          apply_projection(view);
          break;
        case BINDING_NONE:
          break;
      }
      return true;
    case EVENT_MOTION:
      handle_motion(view, event);
      return true;
    case EVENT_CLOSE:
      return event.close != 1;
    default:
      // Focus, paint, show, hide, move and resize change nothing; a resize keeps the projection.
      return true;
  }
}

}  // namespace

int32_t run_viewer() {
  quillfen_configure_window("TEST", 800, 800, false);
  if (!quillfen_init(0, false, false, false)) return -1;  // the toolkit has said why

  ViewState& view = view_state;
  set_fixed_gl_state();
  apply_projection(view);

  int32_t running = 1;
  uint32_t last_redraw_ms = 0;
  ToolkitEvent event{};
  while (true) {
    // Every queued event is handled before the loop sleeps or draws again.
    if (quillfen_poll()) {
      quillfen_next_event(&event);
      if (!handle_event(view, event)) break;
      continue;
    }
    const uint32_t interval = view.redraw_interval_ms;
    quillfen_sleep_ms(view.sleep_full_interval ? static_cast<int32_t>(interval) : 10);
    // Unsigned difference, so a wrap of the clock does not stall drawing.
    const uint32_t now = quillfen_time_ms();
    if (now - last_redraw_ms > interval) {
      running = draw_frame(view);
      // Counted from the end of the frame.
      last_redraw_ms = quillfen_time_ms();
    }
    if (running == 0) break;
  }
  quillfen_shutdown();
  return 0;
}
