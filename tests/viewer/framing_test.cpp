// The network's scale and the start zoom that frames a box given on the command line.

#include <gtest/gtest.h>

#include "scene.h"
#include "view_state.h"

namespace {

TEST(NetworkScale, LargestSideSpansTenViewUnits) {
  // The default box keeps its picture exactly: 5e6, not merely close to it.
  const float lo[3] = {-1e-6f, -1e-6f, -1e-6f}, hi[3] = {1e-6f, 1e-6f, 1e-6f};
  EXPECT_EQ(network_scale(lo, hi), 5000000.0f);
  // Every fiber at one point: the default scale, not a division by a zero side.
  const float point[3] = {1e-7f, 1e-7f, 1e-7f};
  EXPECT_EQ(network_scale(point, point), 5000000.0f);
  const float big_lo[3] = {-2.715e-6f, -2.715e-6f, -2.715e-6f};
  const float big_hi[3] = {2.715e-6f, 2.715e-6f, 2.715e-6f};
  EXPECT_FLOAT_EQ(network_scale(big_lo, big_hi) * 5.43e-6f, 10.0f);
  // Unequal sides: the largest, whichever axis it lies on.
  for (int axis = 0; axis < 3; ++axis) {
    float l[3] = {-1e-6f, -1e-6f, -1e-6f}, h[3] = {1e-6f, 1e-6f, 1e-6f};
    l[axis] = -2e-6f;
    EXPECT_FLOAT_EQ(network_scale(l, h), 10.0f / 3e-6f) << axis;
  }
}

TEST(FrameWholeNetwork, NearestCornerJustInsideThePicture) {
  constexpr double kFiberLength = 2e-7;
  for (double side : {2e-6, 5.43e-6}) {
    const float half = static_cast<float>(side / 2);
    const float lo[3] = {-half, -half, -half}, hi[3] = {half, half, half};
    ViewState view;
    frame_whole_network(view, lo, hi, static_cast<float>(kFiberLength));
    // The planes stay where the zoom keys expect them.
    EXPECT_EQ(view.eye_distance, 66.0f);
    EXPECT_EQ(view.near_plane, 4.4f);

    // The corner of the box grown by half a fiber, nearest the eye, in view units (the box spans
    // 10), through the start camera and the frustum of +-1 at the near plane.
    const double h = (side / 2 + kFiberLength / 2) * (10.0 / side);
    const double kh = static_cast<double>(1.1547005f) * view.zoom * h;
    const double ndc = view.near_plane * kh / (view.eye_distance - kh);
    EXPECT_LT(ndc, 1.0) << side;
    EXPECT_GT(ndc, 0.9) << side;
  }
}

}  // namespace
