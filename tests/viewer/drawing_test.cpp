// The viewer's frames drawn by a real GL (Mesa) and read back pixel by pixel.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "glx_surface.h"
#include "network.h"
#include "scene.h"
#include "settings.h"
#include "viewer.h"

namespace {

constexpr Rgb kBackground{255, 242, 204};

bool is_background(Rgb c) {
  return c.r == kBackground.r && c.g == kBackground.g && c.b == kBackground.b;
}
int distance(Rgb c) {
  return std::abs(c.r - kBackground.r) + std::abs(c.g - kBackground.g) +
         std::abs(c.b - kBackground.b);
}

struct Pixel {
  double x, y;  // GL window coordinates, origin bottom-left
};

// Where the camera puts a point given in view units: the camera transform and the frustum,
// worked out by hand.
Pixel project(const ViewState& view, double x, double y, double z) {
  constexpr double kDegree = 3.14159265358979323846 / 180.0;
  auto rotate = [](double angle, double& a, double& b) {
    const double c = std::cos(angle * kDegree), s = std::sin(angle * kDegree);
    const double a2 = a * c - b * s;
    b = a * s + b * c;
    a = a2;
  };
  rotate(view.spin, x, y);   // about z
  rotate(view.pitch, y, z);  // about x
  rotate(view.yaw, z, x);    // about y
  const double k = static_cast<double>(1.1547005f) * view.zoom;
  x = (x + view.pan_x) * k;
  y = (y + view.pan_y) * k;
  z = z * k - view.eye_distance;
  rotate(view.roll, x, y);
  const double half = GlxSurface::kSize / 2.0;
  return {(view.near_plane * x / -z + 1.0) * half, (view.near_plane * y / -z + 1.0) * half};
}

class Drawing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { surface_ = new GlxSurface; }
  static void TearDownTestSuite() {
    delete surface_;
    surface_ = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ(surface_->error(), "");
    saved_fibers_ = num_fibers;
    saved_contacts_ = network.num_contacts;
    num_fibers = 0;
    network.num_contacts = 0;
    set_fixed_gl_state();
    view_.show_axes = view_.show_grid = view_.show_fine_grid = false;
  }
  void TearDown() override {
    num_fibers = saved_fibers_;
    network.num_contacts = saved_contacts_;
  }

  void add_fiber(Vec3 start, Vec3 end) { network.fibers[num_fibers++] = {start, end}; }

  void draw() {
    apply_projection(view_);
    EXPECT_EQ(draw_frame(view_), 1);
    surface_->read_back();
  }

  // The pixel that stands out most from the background within two pixels of `p`.
  Rgb strongest_near(Pixel p) const {
    Rgb best = kBackground;
    const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
    for (int y = cy - 2; y <= cy + 2; ++y)
      for (int x = cx - 2; x <= cx + 2; ++x)
        if (distance(surface_->at(x, y)) > distance(best)) best = surface_->at(x, y);
    return best;
  }
  Rgb at(Pixel p) const {
    return surface_->at(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
  }
  int count_drawn() const {
    int drawn = 0;
    for (int y = 0; y < GlxSurface::kSize; ++y)
      for (int x = 0; x < GlxSurface::kSize; ++x) drawn += !is_background(surface_->at(x, y));
    return drawn;
  }

  static GlxSurface* surface_;
  ViewState view_;
  int32_t saved_fibers_ = 0;
  int32_t saved_contacts_ = 0;
};

GlxSurface* Drawing::surface_ = nullptr;

TEST_F(Drawing, OnlyBackgroundWhenTheBoxIsOutOfView) {
  // At the start the default box reaches past every edge of the window.
  draw();
  EXPECT_EQ(count_drawn(), 0);
  Rgb centre = surface_->at(400, 400);
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.g, 242);
  EXPECT_EQ(centre.b, 204);
}

TEST_F(Drawing, BoxOutlineWhereTheCameraPutsIt) {
  for (int i = 0; i < 8; ++i) handle_key(view_, 28);
  draw();
  // Edge midpoints of the back face and of two edges along z; the box is 10 view units wide.
  const double edges[][3] = {{0, 5, -5}, {-5, 0, -5}, {0, -5, -5},
                             {5, 0, -5}, {5, 5, 0},   {-5, -5, 0}};
  for (const auto& e : edges) {
    const Pixel p = project(view_, e[0], e[1], e[2]);
    const Rgb c = strongest_near(p);
    // (0.3, 0.2, 0.25) at half alpha over the background darkens all three channels.
    EXPECT_GT(distance(c), 60) << p.x << "," << p.y;
    EXPECT_LT(c.g, 200) << p.x << "," << p.y;
  }
  // A wire frame: the middle of the picture stays clear.
  EXPECT_TRUE(is_background(surface_->at(400, 400)));
}

TEST_F(Drawing, FibersWhereTheCameraPutsThemAndKeypad8TurnsThePicture) {
  // One fiber along x, 1 view unit up and 1 toward the eye.
  add_fiber({-0.4e-6f, 0.2e-6f, 0.2e-6f}, {0.4e-6f, 0.2e-6f, 0.2e-6f});
  draw();
  const Pixel before = project(view_, 1.0, 1.0, 1.0);
  Rgb c = strongest_near(before);
  // (0.6, 1, 1) at alpha 0.3: less red, more blue than the background.
  EXPECT_LT(c.r, 245);
  EXPECT_GT(c.b, 210);
  EXPECT_TRUE(is_background(at(project(view_, 1.0, -1.0, 1.0))));

  for (int i = 0; i < 10; ++i) handle_key(view_, 93);
  ASSERT_FLOAT_EQ(view_.pitch, 30.0f);
  draw();
  const Pixel after = project(view_, 1.0, 1.0, 1.0);
  EXPECT_GT(std::abs(after.y - before.y), 20.0);
  EXPECT_TRUE(is_background(strongest_near(before)));
  c = strongest_near(after);
  EXPECT_LT(c.r, 245);
  EXPECT_GT(c.b, 210);
}

TEST_F(Drawing, ContactsDeepenTheirFibers) {
  // Two fibers crossing at the origin, in contact there, and a third that touches nothing.
  add_fiber({-0.4e-6f, 0.0f, 0.0f}, {0.4e-6f, 0.0f, 0.0f});
  add_fiber({0.0f, -0.4e-6f, 0.0f}, {0.0f, 0.4e-6f, 0.0f});
  add_fiber({-0.4e-6f, 0.3e-6f, 0.0f}, {0.4e-6f, 0.3e-6f, 0.0f});
  network.contacts[0] = {0, 1, 0.0f, {0.0f, 0.0f, 0.0f}};
  network.num_contacts = 1;
  draw();
  const Rgb touching = strongest_near(project(view_, 1.0, 0.0, 0.0));
  const Rgb free = strongest_near(project(view_, 1.0, 1.5, 0.0));
  // (0.7, 0, 0.4) at alpha 0.2 over the fiber colour takes away green.
  EXPECT_LT(touching.g, free.g - 20);
  EXPECT_GT(free.g, 235);
}

TEST_F(Drawing, OverlaysFollowTheirKeys) {
  const Pixel axis_x = project(view_, 0.6, 0.0, 0.0);      // on the red axis only
  const Pixel fine_line = project(view_, 0.3, 0.55, 0.0);  // on a fine line only
  const Pixel coarse_line = project(view_, 2.0, 0.55, 0.0);
  const Pixel cell = project(view_, 2.55, 0.55, 0.0);  // inside a fine cell
  auto drawn = [&](Pixel p) { return distance(strongest_near(p)) > 40; };

  draw();
  EXPECT_FALSE(drawn(axis_x));
  EXPECT_FALSE(drawn(fine_line));
  EXPECT_FALSE(drawn(coarse_line));

  handle_key(view_, 37);  // T: axis cross and origin marker
  draw();
  EXPECT_TRUE(drawn(axis_x));
  Rgb red = strongest_near(axis_x);
  EXPECT_GT(red.r, red.g + 40);
  EXPECT_FALSE(drawn(fine_line));
  EXPECT_TRUE(drawn({400.0, 400.0}));  // the marker at the origin

  handle_key(view_, 37);
  handle_key(view_, 41);  // O: coarse grid
  draw();
  const Rgb under_axis = strongest_near(axis_x);  // now only the coarse line through the origin
  EXPECT_LT(under_axis.r, under_axis.g + 20);
  EXPECT_TRUE(drawn(coarse_line));
  EXPECT_FALSE(drawn(fine_line));
  EXPECT_TRUE(is_background(at(cell)));

  handle_key(view_, 41);
  handle_key(view_, 40);  // I: fine grid
  draw();
  EXPECT_TRUE(drawn(fine_line));
  EXPECT_TRUE(drawn(coarse_line));  // every coarse line is a fine line too
  EXPECT_TRUE(is_background(at(cell)));
  const Rgb green = strongest_near(fine_line);
  EXPECT_GT(green.g, green.r);
}

}  // namespace
