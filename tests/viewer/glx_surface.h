#pragma once

// An 800 x 800 off-screen GL surface on the X display named by DISPLAY (a private Xvfb in the
// test run), current on this thread, whose pixels the tests read back.

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  int r, g, b;
};

class GlxSurface {
 public:
  static constexpr int kSize = 800;

  // Empty error() on success.
  GlxSurface();
  ~GlxSurface();
  GlxSurface(const GlxSurface&) = delete;
  GlxSurface& operator=(const GlxSurface&) = delete;

  const std::string& error() const { return error_; }

  // Reads the whole surface; (0, 0) is the bottom-left pixel, as GL counts.
  void read_back();
  Rgb at(int x, int y) const;

 private:
  std::string error_;
  void* display_ = nullptr;
  unsigned long pbuffer_ = 0;
  void* context_ = nullptr;
  std::vector<uint8_t> pixels_;
};
