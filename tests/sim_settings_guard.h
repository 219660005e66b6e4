#pragma once

#include "settings.h"

// Restores the simulation settings a test changes.
class SimSettingsGuard {
 public:
  SimSettingsGuard() : count_(num_fibers), length_(fiber_len), diameter_(fiber_diameter) {}
  ~SimSettingsGuard() {
    num_fibers = count_;
    fiber_len = length_;
    fiber_diameter = diameter_;
  }
  SimSettingsGuard(const SimSettingsGuard&) = delete;
  SimSettingsGuard& operator=(const SimSettingsGuard&) = delete;

 private:
  int32_t count_;
  float length_;
  float diameter_;
};
