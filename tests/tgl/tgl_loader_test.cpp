// The loader against a scripted GL: which names resolve, to which addresses, and the extension
// string. The slots are process-wide, so each test starts from cleared slots and a test that needs
// an earlier load makes it itself.

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tgl_loader.h"

namespace {

struct FakeGl {
  std::map<std::string, uintptr_t> addresses;
  std::optional<std::string> extensions;
  std::vector<std::string> lookups;
  int extension_queries = 0;
};

FakeGl* g_gl = nullptr;

#define NAME_OF(type, name) #name,
const char* const kAllNames[] = {TGL_ENTRY_POINTS_ALL(NAME_OF)};
const char* const kImagingNames[] = {TGL_ENTRY_POINTS_1_2_IMAGING(NAME_OF)};
const char* const kGl12Names[] = {TGL_ENTRY_POINTS_1_2(NAME_OF)};
const char* const kQueryNames[] = {TGL_ENTRY_POINTS_1_5_QUERY(NAME_OF)};
const char* const kGeometryNames[] = {TGL_ENTRY_POINTS_2_0_GEOMETRY(NAME_OF)};
#undef NAME_OF

// The scripted answers for the loader's lookups.
TglProc scripted_proc_address(const char* name) {
  g_gl->lookups.emplace_back(name);
  const auto found = g_gl->addresses.find(name);
  return found == g_gl->addresses.end() ? nullptr : reinterpret_cast<TglProc>(found->second);
}

const char* scripted_extension_string() {
  ++g_gl->extension_queries;
  return g_gl->extensions ? g_gl->extensions->c_str() : nullptr;
}

constexpr TglLookup kScriptedLookup{scripted_proc_address, scripted_extension_string};

// A GL that has every function, each at its own address; `salt` tells implementations apart.
FakeGl complete_gl(uintptr_t salt = 0) {
  FakeGl gl;
  uintptr_t address = 0x10000 + salt;
  for (const char* name : kAllNames) gl.addresses[name] = address += 0x10;
  gl.extensions = "GL_ARB_multitexture GL_EXT_geometry_shader4 GL_EXT_texture3D";
  return gl;
}

template <typename Slot>
uintptr_t stored(Slot slot) {
  return reinterpret_cast<uintptr_t>(reinterpret_cast<TglProc>(slot));
}

// Every slot with its address, keyed by name.
std::map<std::string, uintptr_t> all_slots() {
  std::map<std::string, uintptr_t> slots;
#define READ_SLOT(type, name) slots[#name] = stored(tgl::name);
  TGL_ENTRY_POINTS_ALL(READ_SLOT)
#undef READ_SLOT
  return slots;
}

struct Load {
  bool result;
  std::string out;
};

class LoaderTest : public testing::Test {
 protected:
  void SetUp() override {
#define CLEAR_SLOT(type, name) tgl::name = nullptr;
    TGL_ENTRY_POINTS_ALL(CLEAR_SLOT)
#undef CLEAR_SLOT
    use(complete_gl());
  }
  void TearDown() override {
    g_gl = nullptr;
  }

  void use(FakeGl gl) {
    gl_ = std::move(gl);
    g_gl = &gl_;
  }

  Load load(unsigned version) {
    gl_.lookups.clear();
    testing::internal::CaptureStdout();
    const bool result = tgl_load_gl(version, kScriptedLookup);
    return {result, testing::internal::GetCapturedStdout()};
  }

  bool looked_up(const std::string& name) const {
    for (const std::string& lookup : gl_.lookups) {
      if (lookup == name) return true;
    }
    return false;
  }

  FakeGl gl_;
};

const char kAllVersions[] =
    "OpenGL 1.2 initialized.\n"
    "OpenGL 1.3 initialized.\n"
    "OpenGL 1.4 initialized.\n"
    "OpenGL 1.5 initialized.\n"
    "tgl_load_gl_2_0(): GL_EXT_geometry_shader4 loaded.\n"
    "OpenGL 2.0 initialized.\n";
const char kSwitch[] = "Unable to switch to another GL implementation after first init.\n";

TEST_F(LoaderTest, VersionZeroLoadsNothing) {
  const Load load0 = load(0);
  EXPECT_TRUE(load0.result);
  EXPECT_EQ(load0.out, "");
  EXPECT_TRUE(gl_.lookups.empty());
  EXPECT_EQ(gl_.extension_queries, 0);
}

TEST_F(LoaderTest, VersionBelowOneTwoLoadsOneTwoOnly) {
  const Load load110 = load(110);
  EXPECT_TRUE(load110.result);
  EXPECT_EQ(load110.out, "OpenGL 1.2 initialized.\n");
  EXPECT_EQ(gl_.lookups.size(), std::size(kImagingNames) + std::size(kGl12Names));
  EXPECT_EQ(stored(tgl::glColorTable), gl_.addresses["glColorTable"]);
  EXPECT_EQ(stored(tgl::glCopyTexSubImage3D), gl_.addresses["glCopyTexSubImage3D"]);
  EXPECT_EQ(tgl::glActiveTexture, nullptr);
  EXPECT_FALSE(looked_up("glActiveTexture"));
}

TEST_F(LoaderTest, MissingCoreFunctionFailsItsVersionAndStopsHigherOnes) {
  gl_.addresses.erase("glCopyTexSubImage3D");
  const Load load130 = load(130);
  EXPECT_FALSE(load130.result);
  EXPECT_EQ(load130.out, "OpenGL 1.2 failed to initialize.\n");
  EXPECT_FALSE(looked_up("glActiveTexture"));
  EXPECT_EQ(stored(tgl::glTexSubImage3D), gl_.addresses["glTexSubImage3D"]);
  EXPECT_EQ(tgl::glCopyTexSubImage3D, nullptr);
}

TEST_F(LoaderTest, ListStopsAtFirstFailure) {
  gl_.addresses.erase("glTexImage3D");
  EXPECT_FALSE(load(120).result);
  EXPECT_EQ(gl_.lookups.back(), "glTexImage3D");
  EXPECT_FALSE(looked_up("glTexSubImage3D"));
  EXPECT_EQ(stored(tgl::glDrawRangeElements), gl_.addresses["glDrawRangeElements"]);
  EXPECT_EQ(tgl::glTexSubImage3D, nullptr);
}

TEST_F(LoaderTest, MissingOptionalFunctionWarnsAndVersionStillLoads) {
  gl_.addresses.erase("glGetQueryObjectuiv");
  const Load load150 = load(150);
  EXPECT_TRUE(load150.result);
  EXPECT_EQ(load150.out,
            "OpenGL 1.2 initialized.\n"
            "OpenGL 1.3 initialized.\n"
            "OpenGL 1.4 initialized.\n"
            "tgl_load_gl_1_5(): Warning: unable to load ARB_occlusion_query.\n"
            "OpenGL 1.5 initialized.\n");
  for (size_t i = 0; i + 1 < std::size(kQueryNames); ++i) {
    EXPECT_EQ(all_slots()[kQueryNames[i]], gl_.addresses[kQueryNames[i]]) << kQueryNames[i];
  }
  EXPECT_EQ(tgl::glGetQueryObjectuiv, nullptr);
  EXPECT_FALSE(looked_up("glBlendEquationSeparate"));
}

TEST_F(LoaderTest, ImagingGapKeepsEarlierSlotsAndSkipsTheRest) {
  gl_.addresses.erase("glCopyColorTable");
  const Load load120 = load(120);
  EXPECT_TRUE(load120.result);
  EXPECT_EQ(load120.out,
            "tgl_load_gl_1_2(): Warning: unable to load GL_ARB_imaging.\n"
            "OpenGL 1.2 initialized.\n");
  EXPECT_EQ(stored(tgl::glColorTableParameteriv), gl_.addresses["glColorTableParameteriv"]);
  EXPECT_EQ(tgl::glGetColorTable, nullptr);
  EXPECT_FALSE(looked_up("glGetColorTable"));
  EXPECT_EQ(tgl::glBlendEquation, nullptr);
}

TEST_F(LoaderTest, GeometryShadersNeedTheExtensionString) {
  gl_.extensions = "GL_ARB_multitexture GL_EXT_texture3D";
  const Load without = load(200);
  EXPECT_TRUE(without.result);
  EXPECT_NE(without.out.find("OpenGL 1.5 initialized.\n"
                             "tgl_load_gl_2_0(): Warning: GL_EXT_geometry_shader4 not supported.\n"
                             "OpenGL 2.0 initialized.\n"),
            std::string::npos)
      << without.out;
  for (const char* name : kGeometryNames) {
    EXPECT_EQ(all_slots()[name], 0u) << name;
    EXPECT_FALSE(looked_up(name)) << name;
  }
  EXPECT_EQ(stored(tgl::glVertexAttribPointer), gl_.addresses["glVertexAttribPointer"]);
}

TEST_F(LoaderTest, NoExtensionStringMeansNoGeometryShaders) {
  gl_.extensions.reset();
  const Load load200 = load(200);
  EXPECT_TRUE(load200.result);
  EXPECT_NE(
      load200.out.find("tgl_load_gl_2_0(): Warning: GL_EXT_geometry_shader4 not supported.\n"),
      std::string::npos);
  EXPECT_EQ(tgl::glProgramParameteriEXT, nullptr);
}

TEST_F(LoaderTest, IncompleteGeometryShadersWarnOnce) {
  gl_.addresses.erase("glFramebufferTextureLayerEXT");
  const Load load200 = load(200);
  EXPECT_TRUE(load200.result);
  EXPECT_NE(load200.out.find("tgl_load_gl_2_0(): Warning: unable to load GL_EXT_geometry_shader4.\n"
                             "OpenGL 2.0 initialized.\n"),
            std::string::npos)
      << load200.out;
  EXPECT_EQ(load200.out.find("geometry_shader4 loaded"), std::string::npos);
  EXPECT_EQ(stored(tgl::glFramebufferTextureEXT), gl_.addresses["glFramebufferTextureEXT"]);
  EXPECT_EQ(tgl::glFramebufferTextureFaceEXT, nullptr);
}

TEST_F(LoaderTest, AboveTwoZeroLoadsEverythingAndStillFails) {
  const Load load201 = load(201);
  EXPECT_FALSE(load201.result);
  EXPECT_EQ(load201.out,
            std::string(kAllVersions) + "Requested GL version still unsupported by Quillfen.\n");
  EXPECT_EQ(all_slots(), gl_.addresses);
  EXPECT_EQ(gl_.lookups, std::vector<std::string>(std::begin(kAllNames), std::end(kAllNames)));
}

TEST_F(LoaderTest, AboveTwoZeroAfterAFailedVersionReportsBoth) {
  gl_.addresses.erase("glSampleCoverage");
  const Load load300 = load(300);
  EXPECT_FALSE(load300.result);
  EXPECT_EQ(load300.out,
            "OpenGL 1.2 initialized.\n"
            "OpenGL 1.3 failed to initialize.\n"
            "Requested GL version still unsupported by Quillfen.\n");
  EXPECT_FALSE(looked_up("glBlendFuncSeparate"));
}

TEST_F(LoaderTest, SameImplementationLoadsAgain) {
  const Load first = load(200);
  ASSERT_TRUE(first.result);
  const Load second = load(200);
  EXPECT_TRUE(second.result);
  EXPECT_EQ(second.out, kAllVersions);
  EXPECT_EQ(all_slots(), gl_.addresses);
}

TEST_F(LoaderTest, AnotherImplementationIsRefusedAndSlotsKept) {
  ASSERT_TRUE(load(200).result);
  const std::map<std::string, uintptr_t> first = all_slots();

  use(complete_gl(0x8));
  const Load second = load(200);
  EXPECT_FALSE(second.result);
  // The imaging group meets the change first and warns; the core list then stops on its first
  // function, and the dispatcher reports the switch instead of the version line.
  EXPECT_EQ(second.out,
            "tgl_load_gl_1_2(): Warning: unable to load GL_ARB_imaging.\n" + std::string(kSwitch));
  EXPECT_EQ(gl_.lookups, (std::vector<std::string>{"glColorTable", "glDrawRangeElements"}));
  EXPECT_EQ(all_slots(), first);
}

TEST_F(LoaderTest, ChangedAddressEndsItsListAndTheCall) {
  ASSERT_TRUE(load(150).result);
  gl_.addresses["glMultiTexCoord2f"] += 0x4;
  const Load second = load(200);
  EXPECT_FALSE(second.result);
  EXPECT_EQ(second.out, "OpenGL 1.2 initialized.\n" + std::string(kSwitch));
  EXPECT_EQ(gl_.lookups.back(), "glMultiTexCoord2f");
  EXPECT_FALSE(looked_up("glMultiTexCoord2fv"));
  EXPECT_FALSE(looked_up("glBlendFuncSeparate"));
  EXPECT_NE(stored(tgl::glMultiTexCoord2f), gl_.addresses["glMultiTexCoord2f"]);
}

TEST_F(LoaderTest, VanishedFunctionCountsAsAnotherImplementation) {
  ASSERT_TRUE(load(120).result);
  const uintptr_t kept = stored(tgl::glTexImage3D);
  gl_.addresses.erase("glTexImage3D");
  const Load second = load(120);
  EXPECT_FALSE(second.result);
  EXPECT_EQ(second.out, kSwitch);
  EXPECT_EQ(stored(tgl::glTexImage3D), kept);
}

// The published order of the lookups, written out here from the GL function names and their
// families rather than taken from the loader's own lists: a name dropped, added, misspelt or out
// of order there shows here.
std::vector<std::string> published_lookup_order() {
  std::vector<std::string> names;
  const auto add = [&names](std::initializer_list<const char*> list) {
    for (const char* name : list) names.emplace_back(name);
  };
  const auto add_forms = [&names](const std::string& stem,
                                  std::initializer_list<const char*> forms) {
    for (const char* form : forms) names.push_back(stem + form);
  };
  // GL 1.2: the imaging subset, then the core.
  add({"glColorTable",
       "glColorTableParameterfv",
       "glColorTableParameteriv",
       "glCopyColorTable",
       "glGetColorTable",
       "glGetColorTableParameterfv",
       "glGetColorTableParameteriv",
       "glColorSubTable",
       "glCopyColorSubTable",
       "glConvolutionFilter1D",
       "glConvolutionFilter2D",
       "glConvolutionParameterf",
       "glConvolutionParameterfv",
       "glConvolutionParameteri",
       "glConvolutionParameteriv",
       "glCopyConvolutionFilter1D",
       "glCopyConvolutionFilter2D",
       "glGetConvolutionFilter",
       "glGetConvolutionParameterfv",
       "glGetConvolutionParameteriv",
       "glGetSeparableFilter",
       "glSeparableFilter2D",
       "glGetHistogram",
       "glGetHistogramParameterfv",
       "glGetHistogramParameteriv",
       "glGetMinmax",
       "glGetMinmaxParameterfv",
       "glGetMinmaxParameteriv",
       "glHistogram",
       "glMinmax",
       "glResetHistogram",
       "glResetMinmax",
       "glBlendColor",
       "glBlendEquation"});
  add({"glDrawRangeElements", "glTexImage3D", "glTexSubImage3D", "glCopyTexSubImage3D"});
  // GL 1.3.
  add({"glActiveTexture", "glClientActiveTexture"});
  for (const char* count : {"1", "2", "3", "4"})
    add_forms(std::string("glMultiTexCoord") + count, {"d", "dv", "f", "fv", "i", "iv", "s", "sv"});
  add({"glLoadTransposeMatrixf", "glLoadTransposeMatrixd", "glMultTransposeMatrixf",
       "glMultTransposeMatrixd", "glSampleCoverage", "glCompressedTexImage3D",
       "glCompressedTexImage2D", "glCompressedTexImage1D", "glCompressedTexSubImage3D",
       "glCompressedTexSubImage2D", "glCompressedTexSubImage1D", "glGetCompressedTexImage"});
  // GL 1.4.
  add({"glBlendFuncSeparate", "glFogCoordf", "glFogCoordfv", "glFogCoordd", "glFogCoorddv",
       "glFogCoordPointer", "glMultiDrawArrays", "glMultiDrawElements", "glPointParameterf",
       "glPointParameterfv", "glPointParameteri", "glPointParameteriv"});
  add_forms("glSecondaryColor3", {"b", "bv", "d", "dv", "f", "fv", "i", "iv", "s", "sv", "ub",
                                  "ubv", "ui", "uiv", "us", "usv"});
  add({"glSecondaryColorPointer"});
  for (const char* count : {"2", "3"})
    add_forms(std::string("glWindowPos") + count, {"d", "dv", "f", "fv", "i", "iv", "s", "sv"});
  // GL 1.5: the occlusion queries, then the core.
  add({"glGenQueries", "glDeleteQueries", "glIsQuery", "glBeginQuery", "glEndQuery", "glGetQueryiv",
       "glGetQueryObjectiv", "glGetQueryObjectuiv"});
  add({"glBindBuffer", "glDeleteBuffers", "glGenBuffers", "glIsBuffer", "glBufferData",
       "glBufferSubData", "glGetBufferSubData", "glMapBuffer", "glUnmapBuffer",
       "glGetBufferParameteriv", "glGetBufferPointerv"});
  // GL 2.0: the geometry shaders, then the core.
  add({"glProgramParameteriEXT", "glFramebufferTextureEXT", "glFramebufferTextureLayerEXT",
       "glFramebufferTextureFaceEXT"});
  add({"glBlendEquationSeparate",
       "glDrawBuffers",
       "glStencilOpSeparate",
       "glStencilFuncSeparate",
       "glStencilMaskSeparate",
       "glAttachShader",
       "glBindAttribLocation",
       "glCompileShader",
       "glCreateProgram",
       "glCreateShader",
       "glDeleteProgram",
       "glDeleteShader",
       "glDetachShader",
       "glDisableVertexAttribArray",
       "glEnableVertexAttribArray",
       "glGetActiveAttrib",
       "glGetActiveUniform",
       "glGetAttachedShaders",
       "glGetAttribLocation",
       "glGetProgramiv",
       "glGetProgramInfoLog",
       "glGetShaderiv",
       "glGetShaderInfoLog",
       "glGetShaderSource",
       "glGetUniformLocation",
       "glGetUniformfv",
       "glGetUniformiv",
       "glGetVertexAttribdv",
       "glGetVertexAttribfv",
       "glGetVertexAttribiv",
       "glGetVertexAttribPointerv",
       "glIsProgram",
       "glIsShader",
       "glLinkProgram",
       "glShaderSource",
       "glUseProgram"});
  add_forms("glUniform", {"1f", "2f", "3f", "4f", "1i", "2i", "3i", "4i", "1fv", "2fv", "3fv",
                          "4fv", "1iv", "2iv", "3iv", "4iv"});
  add({"glUniformMatrix2fv", "glUniformMatrix3fv", "glUniformMatrix4fv", "glValidateProgram"});
  add_forms(
      "glVertexAttrib",
      {"1d",    "1dv", "1f", "1fv", "1s", "1sv", "2d",   "2dv",  "2f",   "2fv",  "2s",    "2sv",
       "3d",    "3dv", "3f", "3fv", "3s", "3sv", "4Nbv", "4Niv", "4Nsv", "4Nub", "4Nubv", "4Nuiv",
       "4Nusv", "4bv", "4d", "4dv", "4f", "4fv", "4iv",  "4s",   "4sv",  "4ubv", "4uiv",  "4usv"});
  add({"glVertexAttribPointer"});
  return names;
}

TEST_F(LoaderTest, LooksUpThePublishedNamesInThePublishedOrder) {
  const std::vector<std::string> expected = published_lookup_order();
  ASSERT_EQ(expected.size(), 245u);
  ASSERT_TRUE(load(200).result);
  EXPECT_EQ(gl_.lookups, expected);
}

}  // namespace
