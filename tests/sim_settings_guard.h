#pragma once

#include "network.h"
#include "settings.h"

// Restores the simulation settings a test changes.
class SimSettingsGuard {
 public:
  SimSettingsGuard() : count_(num_fibers), length_(fiber_len), diameter_(fiber_diameter) {
    for (int k = 0; k < 3; ++k) min_[k] = box_min[k], max_[k] = box_max[k];
  }
  ~SimSettingsGuard() {
    num_fibers = count_;
    fiber_len = length_;
    fiber_diameter = diameter_;
    for (int k = 0; k < 3; ++k) box_min[k] = min_[k], box_max[k] = max_[k];
    network.diameters.clear();
  }
  SimSettingsGuard(const SimSettingsGuard&) = delete;
  SimSettingsGuard& operator=(const SimSettingsGuard&) = delete;

 private:
  int32_t count_;
  float length_;
  float diameter_;
  float min_[3], max_[3];
};
