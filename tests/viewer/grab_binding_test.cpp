#include "../quillfen/toolkit_fixture.h"
#include "view_state.h"

namespace {

class GrabBinding : public ToolkitTest {};

TEST_F(GrabBinding, WTwiceGrabsThenReleases) {
  open_window();
  ViewState view;
  EXPECT_EQ(handle_key(view, 34), BINDING_NONE);
  EXPECT_TRUE(view.grab_requested);
  EXPECT_TRUE(window_->pointer_grabbed);

  ToolkitEvent plain{};
  plain.kind = EVENT_MOTION;
  plain.dx = 6;
  plain.dy = -1;
  handle_motion(view, plain);
  EXPECT_EQ(view.yaw, 6.0f);
  EXPECT_EQ(view.pitch, -1.0f);

  handle_key(view, 34);
  EXPECT_FALSE(view.grab_requested);
  EXPECT_FALSE(window_->pointer_grabbed);
  handle_motion(view, plain);
  EXPECT_EQ(view.yaw, 6.0f);
}

}  // namespace
