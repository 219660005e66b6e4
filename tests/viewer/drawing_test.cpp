// The viewer's frames drawn by a real GL (Mesa) and read back pixel by pixel.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "event_queue.h"
#include "gl11.h"
#include "glx_surface.h"
#include "network.h"
#include "quillfen_records.h"
#include "scene.h"
#include "scripted_platform.h"
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

// Where the camera puts a point given in view units: the camera transform, the frustum and the
// viewport, worked out by hand.
Pixel project(const ViewState& view, double x, double y, double z, int width = GlxSurface::kSize,
              int height = GlxSurface::kSize) {
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
  return {(view.near_plane * x / -z + 1.0) * width / 2,
          (view.near_plane * y / -z + 1.0) * height / 2};
}

// Fibers are given in view units; the network is drawn at 5e6 view units per metre.
Vec3 metres(double x, double y, double z) {
  return {static_cast<float>(x / 5e6), static_cast<float>(y / 5e6), static_cast<float>(z / 5e6)};
}

// One smooth line drawn over what lies beneath: colour, alpha and requested width.
struct Layer {
  double r, g, b, a, width;
};
constexpr Layer kFiber{0.6, 1.0, 1.0, 0.3, 1.2};
constexpr Layer kContactFiber{0.7, 0.0, 0.4, 0.2, 1.4};
constexpr Layer kFineGrid{0.0, 0.4, 0.0, 0.5, 0.8};
constexpr Layer kCoarseGrid{0.2, 0.2, 0.0, 0.5, 1.7};

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
    for (int k = 0; k < 3; ++k) saved_lo_[k] = box_min[k], saved_hi_[k] = box_max[k];
    num_fibers = 0;
    network.num_contacts = 0;
    set_fixed_gl_state();
    // A frame inherits whatever the one before left: every width, size and colour must be set.
    glLineWidth(5.0f);
    glPointSize(9.0f);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    view_.show_axes = view_.show_grid = view_.show_fine_grid = false;
  }
  void TearDown() override {
    num_fibers = saved_fibers_;
    network.num_contacts = saved_contacts_;
    for (int k = 0; k < 3; ++k) box_min[k] = saved_lo_[k], box_max[k] = saved_hi_[k];
    set_fiber_classes(nullptr, 0);
    glViewport(0, 0, GlxSurface::kSize, GlxSurface::kSize);
  }

  void add_fiber(Vec3 start, Vec3 end) { network.fibers[num_fibers++] = {start, end}; }
  // A fiber along x from -2.4 to 2.4 view units at height y: a horizontal line on the screen.
  void add_level_fiber(double y) { add_fiber(metres(-2.4, y, 0), metres(2.4, y, 0)); }

  void draw() {
    apply_projection(view_);
    EXPECT_EQ(draw_frame(view_), 1);
    // A push or pop too many, or a batch left open, is an error GL reports and then ignores.
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
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
  // Checks the pixels across a line that runs horizontally (or vertically) on the screen through
  // `p`, against `layers` blended in order over the background. A smooth line covers each pixel
  // by their overlap, and Mesa draws none narrower than one pixel.
  void expect_line(Pixel p, bool horizontal, std::initializer_list<Layer> layers) const {
    const double centre = horizontal ? p.y : p.x;
    const int fixed = static_cast<int>(horizontal ? p.x : p.y);
    const int first = static_cast<int>(std::floor(centre)) - 4;
    for (int i = first; i <= first + 8; ++i) {
      double c[3] = {kBackground.r, kBackground.g, kBackground.b};
      for (const Layer& l : layers) {
        const double half = std::max(l.width, 1.0) / 2;
        const double cover = std::clamp(
            std::min(i + 1.0, centre + half) - std::max(i + 0.0, centre - half), 0.0, 1.0);
        const double f = cover * l.a, colour[3] = {l.r, l.g, l.b};
        for (int k = 0; k < 3; ++k) c[k] = std::round(c[k] * (1 - f) + 255 * colour[k] * f);
      }
      const Rgb got = horizontal ? surface_->at(fixed, i) : surface_->at(i, fixed);
      EXPECT_NEAR(got.r, c[0], 3) << "at " << i << " across " << p.x << "," << p.y;
      EXPECT_NEAR(got.g, c[1], 3) << "at " << i << " across " << p.x << "," << p.y;
      EXPECT_NEAR(got.b, c[2], 3) << "at " << i << " across " << p.x << "," << p.y;
    }
  }
  // Pixels within `radius` of `p` whose colour is `c` give or take 3.
  int count_near(Pixel p, int radius, Rgb c) const {
    int count = 0;
    const int cx = static_cast<int>(p.x), cy = static_cast<int>(p.y);
    for (int y = cy - radius; y <= cy + radius; ++y)
      for (int x = cx - radius; x <= cx + radius; ++x) {
        const Rgb got = surface_->at(x, y);
        count +=
            std::abs(got.r - c.r) <= 3 && std::abs(got.g - c.g) <= 3 && std::abs(got.b - c.b) <= 3;
      }
    return count;
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
  float saved_lo_[3] = {}, saved_hi_[3] = {};
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
  // Edge midpoints of the back face, level and upright on the screen; the box is 10 view units
  // wide.
  constexpr Layer kBox{0.3, 0.2, 0.25, 0.5, 1.8};
  expect_line(project(view_, 0, 5, -5), true, {kBox});
  expect_line(project(view_, 0, -5, -5), true, {kBox});
  expect_line(project(view_, -5, 0, -5), false, {kBox});
  expect_line(project(view_, 5, 0, -5), false, {kBox});
  // Two edges along z.
  for (const Pixel p : {project(view_, 5, 5, 0), project(view_, -5, -5, 0)}) {
    const Rgb c = strongest_near(p);
    // (0.3, 0.2, 0.25) at half alpha over the background darkens all three channels.
    EXPECT_GT(distance(c), 60) << p.x << "," << p.y;
    EXPECT_LT(c.g, 200) << p.x << "," << p.y;
  }
  // A wire frame: the middle of the picture stays clear.
  EXPECT_TRUE(is_background(surface_->at(400, 400)));
}

TEST_F(Drawing, CameraTurnsPansRollsAndZoomsInItsOrder) {
  // A window wider than high: the frustum stays a square of +-1, so the picture stretches.
  constexpr int kWidth = GlxSurface::kSize, kHeight = 500;
  glViewport(0, 0, kWidth, kHeight);
  view_.yaw = 35;
  view_.pitch = -20;
  view_.spin = 50;
  view_.roll = 25;
  view_.pan_x = 0.8f;
  view_.pan_y = -0.6f;
  handle_key(view_, 28);
  const double ends[2][2][3] = {{{-2.0, -1.0, 1.5}, {2.0, 1.5, -1.0}},
                                {{1.0, -2.0, -1.0}, {-1.5, 2.0, 0.5}}};
  for (const auto& e : ends)
    add_fiber(metres(e[0][0], e[0][1], e[0][2]), metres(e[1][0], e[1][1], e[1][2]));
  draw();
  for (const auto& e : ends) {
    for (double t : {0.2, 0.5, 0.8}) {
      double q[3];
      for (int k = 0; k < 3; ++k) q[k] = e[0][k] + t * (e[1][k] - e[0][k]);
      const Pixel p = project(view_, q[0], q[1], q[2], kWidth, kHeight);
      // Turned, the box's edges cross the picture too; only a fiber makes it bluer.
      int bluest = 0;
      for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x) bluest = std::max(bluest, at({p.x + x, p.y + y}).b);
      EXPECT_GT(bluest, kBackground.b + 10) << t << " at " << p.x << "," << p.y;
    }
  }

  // The axis cross turns with the scene: x red, y green, z blue.
  num_fibers = 0;
  view_.show_axes = true;
  draw();
  for (int axis = 0; axis < 3; ++axis) {
    double tip[3] = {0, 0, 0};
    tip[axis] = 0.7;
    const Rgb c = strongest_near(project(view_, tip[0], tip[1], tip[2], kWidth, kHeight));
    const int channel[3] = {c.r, c.g, c.b};
    for (int other = 0; other < 3; ++other) {
      if (other != axis) {
        EXPECT_GT(channel[axis], channel[other] + 40) << axis;
      }
    }
  }
}

TEST_F(Drawing, GridOfAnyShape) {
  // 3 wide, 1 high, 4 divisions, centred at (0.3, -0.2): lines every 0.75 across, 0.25 up.
  apply_projection(view_);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  apply_camera(view_);
  glColor4f(0, 0, 0, 1);
  glLineWidth(1);
  const float centre[3] = {0.3f, -0.2f, 0.0f};
  draw_grid(centre, 3, 1, 4);
  surface_->read_back();
  auto drawn = [&](double x, double y) {
    return distance(strongest_near(project(view_, x, y, 0))) > 100;
  };
  for (double x : {-1.2, -0.45, 0.3, 1.05, 1.8}) EXPECT_TRUE(drawn(x, -0.325)) << x;
  for (double y : {-0.7, -0.45, -0.2, 0.05, 0.3}) {
    EXPECT_TRUE(drawn(-0.825, y)) << y;
    EXPECT_TRUE(drawn(1.425, y)) << y;
  }
  // Inside a cell, and past each end of the lines.
  EXPECT_FALSE(drawn(-0.825, -0.325));
  EXPECT_FALSE(drawn(-0.45, 0.45));
  EXPECT_FALSE(drawn(-0.45, -0.85));
  EXPECT_FALSE(drawn(1.95, -0.2));
  EXPECT_FALSE(drawn(-1.35, -0.2));
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

TEST_F(Drawing, ContactsDeepenBothTheirFibersOncePerContact) {
  // Fiber 0 is in two contacts, 1 and 2 in one each, 3 in none; the records alone decide.
  for (double y : {-1.55, -2.55, 2.55, 1.55}) add_level_fiber(y);
  network.contacts[0] = {0, 1, 0.0f, metres(2.55, -0.55, 0)};
  network.contacts[1] = {2, 0, 0.0f, metres(-2.55, 0.55, 0)};
  network.num_contacts = 2;
  draw();
  expect_line(project(view_, 0.3, -1.55, 0), true, {kFiber, kContactFiber, kContactFiber});
  expect_line(project(view_, 0.3, -2.55, 0), true, {kFiber, kContactFiber});
  expect_line(project(view_, 0.3, 2.55, 0), true, {kFiber, kContactFiber});
  expect_line(project(view_, 0.3, 1.55, 0), true, {kFiber});
  // Contact points: black at 0.8 alpha, 2.5 pixels across.
  for (Pixel p : {project(view_, 2.55, -0.55, 0), project(view_, -2.55, 0.55, 0)}) {
    const int dots = count_near(p, 4, {51, 48, 41});
    EXPECT_GE(dots, 4);
    EXPECT_LE(dots, 6);
    EXPECT_EQ(count_near(p, 4, kBackground), 9 * 9 - dots);  // no fringe: Mesa's points are sharp
  }
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
  // The marker, 6 pixels across, (0.8, 0.8, 0) at half alpha; alone below and left of the origin,
  // where no axis runs.
  int marker = 0, fully_covered = 0;
  for (int y = 390; y < 400; ++y)
    for (int x = 390; x < 400; ++x) {
      const Rgb c = surface_->at(x, y);
      marker += !is_background(c);
      fully_covered +=
          std::abs(c.r - 230) <= 3 && std::abs(c.g - 223) <= 3 && std::abs(c.b - 102) <= 3;
    }
  EXPECT_GE(fully_covered, 3);
  EXPECT_GE(marker, 6);
  EXPECT_LE(marker, 12);

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

TEST_F(Drawing, OverlaysLieOverTheNetworkInTheirOrder) {
  view_.show_axes = view_.show_grid = view_.show_fine_grid = true;
  add_level_fiber(2.0);  // along a coarse grid line
  draw();
  expect_line(project(view_, 0.55, 2.0, 0), true, {kFiber, kFineGrid, kCoarseGrid});
  // Axis x in red and y in green over the grids' middle lines.
  expect_line(project(view_, 0.55, 0, 0), true,
              {kFineGrid, kCoarseGrid, {0.9, 0.3, 0.3, 0.5, 4.0}});
  expect_line(project(view_, 0, 0.55, 0), false,
              {kFineGrid, kCoarseGrid, {0.3, 0.9, 0.3, 0.5, 4.0}});
}

TEST_F(Drawing, KeyCColoursTheClusters) {
  // Fiber 0 is in the largest cluster, 1 in none, 2 in the spanning one, 3 past the classes.
  for (double y : {-1.55, 1.55, -2.55, 2.55}) add_level_fiber(y);
  uint8_t classes[] = {FIBER_LARGEST_CLUSTER, FIBER_PLAIN, FIBER_SPANNING_CLUSTER};
  set_fiber_classes(classes, 3);
  classes[0] = FIBER_PLAIN;  // the viewer keeps its own copy
  const Pixel largest = project(view_, 0.3, -1.55, 0), spanning = project(view_, 0.3, -2.55, 0);
  const Pixel plain[] = {project(view_, 0.3, 1.55, 0), project(view_, 0.3, 2.55, 0)};
  draw();
  for (Pixel p : {largest, spanning, plain[0], plain[1]}) expect_line(p, true, {kFiber});

  EXPECT_EQ(handle_key(view_, 61), BINDING_NONE);
  draw();
  expect_line(largest, true, {{0.0, 0.3, 0.9, 0.9, 1.2}});
  expect_line(spanning, true, {{0.95, 0.4, 0.0, 0.9, 1.2}});
  for (Pixel p : plain) expect_line(p, true, {kFiber});

  handle_key(view_, 61);
  draw();
  expect_line(largest, true, {kFiber});
}

// A box of 5.43e-6 as --box gives it, framed as the program starts with it: its largest side
// spans 10 view units whatever its size.
class LargeBox : public Drawing {
 protected:
  static constexpr double kSide = 5.43e-6, kFiberLength = 2e-7;
  static constexpr double kPerMetre = 10.0 / kSide;
  static constexpr double kHalfFiber = kFiberLength / 2 * kPerMetre;  // in view units

  void SetUp() override {
    Drawing::SetUp();
    for (int k = 0; k < 3; ++k) {
      box_min[k] = static_cast<float>(-kSide / 2);
      box_max[k] = static_cast<float>(kSide / 2);
    }
    frame_whole_network(view_, box_min, box_max, static_cast<float>(kFiberLength));
  }
  static Vec3 box_metres(double x, double y, double z) {
    return {static_cast<float>(x / kPerMetre), static_cast<float>(y / kPerMetre),
            static_cast<float>(z / kPerMetre)};
  }
  // Nothing drawn in the outermost rows and columns of the picture.
  void expect_clear_edges() const {
    constexpr int kLast = GlxSurface::kSize - 1;
    for (int i = 0; i < GlxSurface::kSize; ++i) {
      for (const Rgb c : {surface_->at(i, 0), surface_->at(i, kLast), surface_->at(0, i),
                          surface_->at(kLast, i)}) {
        ASSERT_TRUE(is_background(c)) << i;
      }
    }
  }
};

TEST_F(LargeBox, WholeNetworkInViewAtTheStart) {
  // At each corner of the front face a fiber along x whose far end sticks half a fiber out.
  for (double sx : {-1.0, 1.0})
    for (double sy : {-1.0, 1.0})
      add_fiber(box_metres(sx * (5 - kHalfFiber), sy * 5, 5),
                box_metres(sx * (5 + kHalfFiber), sy * 5, 5));
  draw();
  expect_clear_edges();
  // All eight corners of the outline where the camera puts them, away from the picture's edges.
  for (double x : {-5.0, 5.0})
    for (double y : {-5.0, 5.0})
      for (double z : {-5.0, 5.0}) {
        const Pixel p = project(view_, x, y, z);
        EXPECT_GT(std::min(p.x, p.y), 10.0) << x << "," << y << "," << z;
        EXPECT_LT(std::max(p.x, p.y), GlxSurface::kSize - 10.0) << x << "," << y << "," << z;
        const Rgb c = strongest_near(p);
        EXPECT_GT(distance(c), 60) << x << "," << y << "," << z;
        EXPECT_LT(c.g, 200) << x << "," << y << "," << z;
      }
  // Past the outline, only the fibers' outer ends.
  for (double sx : {-1.0, 1.0})
    for (double sy : {-1.0, 1.0})
      expect_line(project(view_, sx * (5 + 0.7 * kHalfFiber), sy * 5, 5), true, {kFiber});
}

TEST_F(LargeBox, CoarseGridSpansTheBoxsMidPlane) {
  view_.show_grid = true;
  draw();
  expect_clear_edges();
  // The grid's outer lines, off the lines across them, and the box's edges along z through the
  // grid's corners.
  for (double s : {-1.0, 1.0}) {
    expect_line(project(view_, 0.5, 5 * s, 0), true, {kCoarseGrid});
    expect_line(project(view_, 5 * s, 0.5, 0), false, {kCoarseGrid});
    EXPECT_TRUE(is_background(strongest_near(project(view_, 0.5, 5.4 * s, 0)))) << s;
    EXPECT_TRUE(is_background(strongest_near(project(view_, 5.4 * s, 0.5, 0)))) << s;
    for (double z : {-2.5, 2.5}) {
      const Rgb c = strongest_near(project(view_, 5 * s, 5 * s, z));
      EXPECT_GT(distance(c), 60) << s << "," << z;
      EXPECT_LT(c.g, 200) << s << "," << z;
    }
  }
}

// The loop on the scripted window system, drawing with Mesa: the scripted backend has no GL of
// its own, so the viewer's calls reach the pbuffer context current on this thread.
struct LoopScript {
  std::function<void(int sleep_number)> on_sleep;
  int sleeps = 0;
  std::vector<float> near_at_frame;  // read back from the projection matrix
};
LoopScript loop_script;
PlatformOps loop_ops;

class LoopOnMesa : public Drawing {
 protected:
  void SetUp() override {
    Drawing::SetUp();
    scripted::install();
    loop_ops = *scripted::ops();
    loop_ops.sleep = [](uint32_t ms) {
      scripted::ops()->sleep(ms);
      if (loop_script.on_sleep) loop_script.on_sleep(++loop_script.sleeps);
    };
    loop_ops.swap_buffers = [](PwDc dc) {
      float projection[16];
      glGetFloatv(GL_PROJECTION_MATRIX, projection);
      loop_script.near_at_frame.push_back(projection[0]);  // 2 near / (right - left)
      return scripted::ops()->swap_buffers(dc);
    };
    install_platform(&loop_ops);
    loop_script = LoopScript{};
    view_state = ViewState{};
  }
  void TearDown() override {
    quillfen_shutdown();
    scripted::uninstall();
    loop_script = LoopScript{};
    view_state = ViewState{};
    Drawing::TearDown();
  }
};

TEST_F(LoopOnMesa, WheelTowardRebuildsTheProjection) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  // Frames at 40 and 80 ms; the wheel notch, the highest key code, is handled in between.
  loop_script.on_sleep = [](int n) {
    if (n == 2) {
      ToolkitEvent wheel_toward{};
      wheel_toward.kind = EVENT_KEY;
      wheel_toward.key = QUILLFEN_KEY_MAX;
      wheel_toward.pressed = 1;
      push_event(current_window(), &wheel_toward);
    }
    if (n == 5) scripted::key_down(current_window()->hwnd, PW_VK_ESCAPE, 0x01);
  };
  ::testing::internal::CaptureStdout();  // the toolkit's renderer line
  EXPECT_EQ(run_viewer(), 0);
  ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(loop_script.near_at_frame.size(), 2u);
  EXPECT_FLOAT_EQ(loop_script.near_at_frame[0], 4.4f);
  EXPECT_FLOAT_EQ(loop_script.near_at_frame[1], 4.4f * 1.1f);
}

}  // namespace
