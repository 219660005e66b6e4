#pragma once

// Loads the GL 1.2 to 2.0 entry points of the current context into the slots of tgl_slots.h,
// version by version, reporting each version on standard output.

#include "tgl_lookup.h"
#include "tgl_slots.h"

// Loads, through `lookup`, every version up to `version` (major * 100 + minor * 10; 0 loads
// nothing). False when a needed version is incomplete, when the context's addresses differ from
// those stored by an earlier call (another GL implementation), or when `version` is above 200.
bool tgl_load_gl(unsigned version, const TglLookup& lookup);

// One version each: its optional group, then its core list; true when the whole core list loaded.
// `switched` is shared by the calls of one tgl_load_gl and set on any changed address.
bool tgl_load_gl_1_2(const TglLookup& lookup, bool& switched);
bool tgl_load_gl_1_3(const TglLookup& lookup, bool& switched);
bool tgl_load_gl_1_4(const TglLookup& lookup, bool& switched);
bool tgl_load_gl_1_5(const TglLookup& lookup, bool& switched);
bool tgl_load_gl_2_0(const TglLookup& lookup, bool& switched);
