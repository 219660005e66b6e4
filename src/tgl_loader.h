#pragma once

// Loads the GL 1.2 to 2.0 entry points of the current context into the slots of tgl_slots.h,
// version by version, reporting each version on standard output.

#include "tgl_slots.h"

// Loads every version up to `version` (major * 100 + minor * 10; 0 loads nothing). False when a
// needed version is incomplete, when the context's addresses differ from those stored by an earlier
// call (another GL implementation), or when `version` is above 200.
bool tgl_load_gl(unsigned version);

// One version each: its optional group, then its core list; true when the whole core list loaded.
// `switched` is shared by the calls of one tgl_load_gl and set on any changed address.
bool tgl_load_gl_1_2(bool& switched);
bool tgl_load_gl_1_3(bool& switched);
bool tgl_load_gl_1_4(bool& switched);
bool tgl_load_gl_1_5(bool& switched);
bool tgl_load_gl_2_0(bool& switched);
