#include "platform.h"

#include "quillfen_assert.h"

namespace {
const PlatformOps* g_installed = nullptr;
}

const PlatformOps& platform() {
  if (g_installed == nullptr) g_installed = native_platform();
  // A build without a native backend can only run with an installed one.
  QUILLFEN_ASSERT(g_installed != nullptr);
  return *g_installed;
}

bool platform_available() {
  return g_installed != nullptr || native_platform() != nullptr;
}

const PlatformOps* install_platform(const PlatformOps* ops) {
  const PlatformOps* previous = g_installed;
  g_installed = ops;
  return previous;
}
