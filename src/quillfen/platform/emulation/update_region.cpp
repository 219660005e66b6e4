#include "update_region.h"

namespace emulation {

bool rect_empty(const PwRect& rect) {
  return rect.left >= rect.right || rect.top >= rect.bottom;
}

void add_update(PwRect& update, const PwRect& rect) {
  if (rect_empty(rect)) return;
  if (rect_empty(update)) {
    update = rect;
    return;
  }
  if (rect.left < update.left) update.left = rect.left;
  if (rect.top < update.top) update.top = rect.top;
  if (rect.right > update.right) update.right = rect.right;
  if (rect.bottom > update.bottom) update.bottom = rect.bottom;
}

bool update_bounds(const PwRect& update, PwRect* out) {
  bool any = !rect_empty(update);
  if (out) *out = any ? update : PwRect{};
  return any;
}

}  // namespace emulation
