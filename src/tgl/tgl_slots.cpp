#include "tgl_slots.h"

namespace tgl {
#define TGL_DEFINE_SLOT(type, name) type name = nullptr;
TGL_ENTRY_POINTS_ALL(TGL_DEFINE_SLOT)
#undef TGL_DEFINE_SLOT
}  // namespace tgl

#define TGL_COUNT_SLOT(type, name) +1
static_assert(0 TGL_ENTRY_POINTS_ALL(TGL_COUNT_SLOT) == 245, "GL 1.2 to 2.0 with the three groups");
#undef TGL_COUNT_SLOT
