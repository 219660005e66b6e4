// Opens the toolkit's window on the real window system with GL 2.0 entry points, checks the client
// area, and closes it again. Standard output carries only the toolkit's and the loader's lines;
// the check's own findings go to standard error.

#include <cstdio>

#include "quillfen.h"
#include "quillfen_records.h"
#include "tracked_alloc.h"

namespace {

constexpr int32_t kSize = 800;

bool client_area_is_exact() {
  const ToolkitWindow* window = current_window();
  PwRect client{};
  if (window == nullptr || !platform().get_client_rect(window->hwnd, &client)) {
    std::fprintf(stderr, "no client rectangle\n");
    return false;
  }
  const int32_t width = client.right - client.left;
  const int32_t height = client.bottom - client.top;
  if (width != kSize || height != kSize || window->width != kSize || window->height != kSize) {
    std::fprintf(stderr, "client area %dx%d, record %dx%d\n", width, height, window->width,
                 window->height);
    return false;
  }
  return true;
}

}  // namespace

int main() {
  if (!quillfen_configure_window("TEST", kSize, kSize, false)) return 1;
  if (!quillfen_init(200, false, false, false)) {
    std::fprintf(stderr, "init failed\n");
    return 1;
  }
  const bool exact = client_area_is_exact();
  quillfen_shutdown();
  if (live_allocations != 0) {
    std::fprintf(stderr, "%d toolkit blocks left after shutdown\n", live_allocations);
    return 1;
  }
  std::fflush(stdout);
  return exact ? 0 : 1;
}
