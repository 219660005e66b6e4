#include "tgl_loader.h"

#include <cstdio>
#include <cstring>

namespace {

// One step of a list. A stored address that the context no longer gives back means another GL
// implementation: flag it and keep the old address, since code may already hold it.
template <typename Slot>
bool load_entry(const TglLookup& lookup, Slot& slot, const char* name, bool& switched) {
  const TglProc address = lookup.get_proc_address(name);
  const TglProc stored = reinterpret_cast<TglProc>(slot);
  if (stored != nullptr && stored != address) {
    switched = true;
    return false;
  }
  if (address == nullptr) return false;
  slot = reinterpret_cast<Slot>(address);
  return true;
}

// Expands a list into `true && load_entry(...) && ...`: the first failing step ends it.
#define TGL_LOAD_ENTRY(type, name) &&load_entry(lookup, tgl::name, #name, switched)
#define TGL_LOAD_LIST(list) (true list(TGL_LOAD_ENTRY))

// The end of every per-version loader. A switch leaves the report to tgl_load_gl.
bool report_version(const char* version, bool loaded, bool switched) {
  if (switched) return false;
  std::printf("OpenGL %s %s.\n", version, loaded ? "initialized" : "failed to initialize");
  return loaded;
}

}  // namespace

bool tgl_load_gl_1_2(const TglLookup& lookup, bool& switched) {
  if (!TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_2_IMAGING)) {
    std::puts("tgl_load_gl_1_2(): Warning: unable to load GL_ARB_imaging.");
  }
  const bool loaded = TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_2);
  return report_version("1.2", loaded, switched);
}

bool tgl_load_gl_1_3(const TglLookup& lookup, bool& switched) {
  const bool loaded = TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_3);
  return report_version("1.3", loaded, switched);
}

bool tgl_load_gl_1_4(const TglLookup& lookup, bool& switched) {
  const bool loaded = TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_4);
  return report_version("1.4", loaded, switched);
}

bool tgl_load_gl_1_5(const TglLookup& lookup, bool& switched) {
  if (!TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_5_QUERY)) {
    std::puts("tgl_load_gl_1_5(): Warning: unable to load ARB_occlusion_query.");
  }
  const bool loaded = TGL_LOAD_LIST(TGL_ENTRY_POINTS_1_5);
  return report_version("1.5", loaded, switched);
}

bool tgl_load_gl_2_0(const TglLookup& lookup, bool& switched) {
  // A context without an extension string offers no extensions.
  const char* extensions = lookup.extension_string();
  if (extensions == nullptr || std::strstr(extensions, "GL_EXT_geometry_shader4") == nullptr) {
    std::puts("tgl_load_gl_2_0(): Warning: GL_EXT_geometry_shader4 not supported.");
  } else if (TGL_LOAD_LIST(TGL_ENTRY_POINTS_2_0_GEOMETRY)) {
    std::puts("tgl_load_gl_2_0(): GL_EXT_geometry_shader4 loaded.");
  } else {
    std::puts("tgl_load_gl_2_0(): Warning: unable to load GL_EXT_geometry_shader4.");
  }
  const bool loaded = TGL_LOAD_LIST(TGL_ENTRY_POINTS_2_0);
  return report_version("2.0", loaded, switched);
}

bool tgl_load_gl(unsigned version, const TglLookup& lookup) {
  if (version == 0) return true;

  struct Step {
    unsigned version;
    bool (*load)(const TglLookup& lookup, bool& switched);
  };
  static constexpr Step kSteps[] = {
      {120, tgl_load_gl_1_2}, {130, tgl_load_gl_1_3}, {140, tgl_load_gl_1_4},
      {150, tgl_load_gl_1_5}, {200, tgl_load_gl_2_0},
  };

  bool switched = false;
  bool result = true;
  for (const Step& step : kSteps) {
    // A version is only tried on top of a complete lower one.
    result = result && step.load(lookup, switched);
    if (switched) {
      std::puts("Unable to switch to another GL implementation after first init.");
      return false;
    }
    if (version <= step.version) return result;
  }
  std::puts("Requested GL version still unsupported by Quillfen.");
  return false;
}
