#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "view_state.h"

namespace {

ToolkitEvent motion(int32_t dx, int32_t dy, int32_t buttons) {
  ToolkitEvent event{};
  event.kind = EVENT_MOTION;
  event.dx = dx;
  event.dy = dy;
  event.buttons = buttons;
  return event;
}

void expect_same(const ViewState& a, const ViewState& b) {
  EXPECT_EQ(a.yaw, b.yaw);
  EXPECT_EQ(a.pitch, b.pitch);
  EXPECT_EQ(a.spin, b.spin);
  EXPECT_EQ(a.roll, b.roll);
  EXPECT_EQ(a.pan_x, b.pan_x);
  EXPECT_EQ(a.pan_y, b.pan_y);
  EXPECT_EQ(a.zoom, b.zoom);
  EXPECT_EQ(a.eye_distance, b.eye_distance);
  EXPECT_EQ(a.near_plane, b.near_plane);
  EXPECT_EQ(a.far_plane, b.far_plane);
  EXPECT_EQ(a.show_axes, b.show_axes);
  EXPECT_EQ(a.show_grid, b.show_grid);
  EXPECT_EQ(a.show_fine_grid, b.show_fine_grid);
  EXPECT_EQ(a.sleep_full_interval, b.sleep_full_interval);
  EXPECT_EQ(a.redraw_interval_ms, b.redraw_interval_ms);
  EXPECT_EQ(a.grab_requested, b.grab_requested);
  EXPECT_EQ(a.cluster_colours, b.cluster_colours);
}

TEST(Bindings, ZoomOutStepFromTheStart) {
  for (int32_t key : {28, 91, 108}) {
    ViewState view;
    EXPECT_EQ(handle_key(view, key), BINDING_PROJECTION) << key;
    EXPECT_FLOAT_EQ(view.near_plane, 3.96f);
    EXPECT_FLOAT_EQ(view.far_plane, 114.84f);
    EXPECT_FLOAT_EQ(view.eye_distance, 59.4f);
    EXPECT_FLOAT_EQ(view.zoom, 3.91f);
  }
}

TEST(Bindings, ZoomStepsAreNotInverse) {
  for (int32_t in_key : {29, 95, 109}) {
    ViewState view;
    handle_key(view, 28);
    EXPECT_EQ(handle_key(view, in_key), BINDING_PROJECTION) << in_key;
    EXPECT_NEAR(view.near_plane, 0.99 * 4.4, 1e-5);
    EXPECT_NEAR(view.far_plane, 0.99 * 127.6, 1e-4);
    EXPECT_NEAR(view.zoom, 0.9775 * 4.6, 1e-5);
    EXPECT_FLOAT_EQ(view.eye_distance, (view.near_plane + view.far_plane) * 0.5f);
  }
}

TEST(Bindings, StepKeys) {
  struct Case {
    int32_t key;
    float ViewState::*field;
    float change;
  };
  const Case cases[] = {
      {84, &ViewState::pan_y, -0.1f}, {85, &ViewState::pan_y, 0.1f},
      {86, &ViewState::pan_x, 0.1f},  {87, &ViewState::pan_x, -0.1f},
      {92, &ViewState::roll, 3.0f},   {94, &ViewState::roll, -3.0f},
      {93, &ViewState::pitch, 3.0f},  {100, &ViewState::pitch, -3.0f},
      {98, &ViewState::yaw, 3.0f},    {96, &ViewState::yaw, -3.0f},
      {99, &ViewState::spin, 3.0f},   {101, &ViewState::spin, -3.0f},
  };
  for (const Case& c : cases) {
    ViewState view;
    ViewState expected;
    expected.*c.field = c.change;
    EXPECT_EQ(handle_key(view, c.key), BINDING_NONE) << c.key;
    expect_same(view, expected);
  }
}

TEST(Bindings, AnglesGrowWithoutBound) {
  ViewState view;
  for (int i = 0; i < 130; ++i) handle_key(view, 93);
  EXPECT_FLOAT_EQ(view.pitch, 390.0f);
}

TEST(Bindings, SwitchesToggle) {
  struct Case {
    int32_t key;
    bool ViewState::*field;
  };
  const Case cases[] = {{37, &ViewState::show_axes},
                        {40, &ViewState::show_fine_grid},
                        {41, &ViewState::show_grid},
                        {42, &ViewState::sleep_full_interval},
                        {61, &ViewState::cluster_colours}};
  for (const Case& c : cases) {
    ViewState view;
    ViewState expected;
    expected.*c.field = !(expected.*c.field);
    EXPECT_EQ(handle_key(view, c.key), BINDING_NONE);
    expect_same(view, expected);
    handle_key(view, c.key);
    expect_same(view, ViewState{});
  }
}

TEST(Bindings, ResetKeepsZoomAndPlanes) {
  for (int32_t key : {73, 97}) {
    ViewState view;
    for (int32_t turn : {84, 86, 92, 93, 98, 99, 28}) handle_key(view, turn);
    handle_motion(view, motion(7, -3, 0b101));
    ViewState zoomed;
    handle_key(zoomed, 28);
    zoomed.show_axes = view.show_axes = false;
    zoomed.cluster_colours = view.cluster_colours = true;
    EXPECT_EQ(handle_key(view, key), BINDING_NONE);
    expect_same(view, zoomed);
  }
}

TEST(Bindings, EscapeQuitsAndUnboundCodesDoNothing) {
  ViewState view;
  EXPECT_EQ(handle_key(view, 1), BINDING_QUIT);
  const int32_t bound[] = {1,  28, 29, 34, 37, 40, 41, 42, 61, 73,  84,  85,  86, 87,
                           91, 92, 93, 94, 95, 96, 97, 98, 99, 100, 101, 108, 109};
  for (int32_t key = 0; key <= QUILLFEN_KEY_MAX; ++key) {
    if (std::find(std::begin(bound), std::end(bound), key) != std::end(bound)) continue;
    EXPECT_EQ(handle_key(view, key), BINDING_NONE) << key;
  }
  expect_same(view, ViewState{});
}

TEST(Motion, LeftButtonTurnsOneDegreePerPixel) {
  ViewState view;
  handle_motion(view, motion(5, -2, 0b001));
  EXPECT_EQ(view.yaw, 5.0f);
  EXPECT_EQ(view.pitch, -2.0f);
  EXPECT_EQ(view.pan_x, 0.0f);
}

TEST(Motion, MiddleButtonAloneAndNoButtonChangeNothing) {
  ViewState view;
  handle_motion(view, motion(5, 9, 0b010));
  handle_motion(view, motion(-4, 3, 0));
  expect_same(view, ViewState{});
}

TEST(Motion, RightButtonPansScaledByZoom) {
  ViewState view;
  handle_key(view, 28);
  const ViewState zoomed = view;
  handle_motion(view, motion(8, 6, 0b100));
  EXPECT_FLOAT_EQ(view.pan_x, 0.05f * 8 / zoomed.zoom);
  EXPECT_FLOAT_EQ(view.pan_y, -0.05f * 6 / zoomed.zoom);
  EXPECT_EQ(view.yaw, 0.0f);
  EXPECT_EQ(view.pitch, 0.0f);
}

TEST(Motion, LeftAndRightTogetherTurnAndPan) {
  ViewState view;
  handle_motion(view, motion(10, 0, 0b101));
  EXPECT_EQ(view.yaw, 10.0f);
  EXPECT_FLOAT_EQ(view.pan_x, 0.5f / 4.6f);
}

TEST(Motion, GrabRequestTurnsOnPlainMotionButRightButtonOnlyPans) {
  ViewState view;
  view.grab_requested = true;
  handle_motion(view, motion(4, 2, 0));
  EXPECT_EQ(view.yaw, 4.0f);
  EXPECT_EQ(view.pitch, 2.0f);
  handle_motion(view, motion(4, 2, 0b100));
  EXPECT_EQ(view.yaw, 4.0f);
  EXPECT_NE(view.pan_x, 0.0f);
}

}  // namespace
