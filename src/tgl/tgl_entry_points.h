#pragma once

// The GL entry points the loader resolves, as X(PFN typedef, published name) lists in loading
// order. One list per version's core and per optional group; the loader, the slot declarations and
// the slot definitions are all expanded from these, so the three can never disagree.

// GL 1.2, optional: the imaging subset (GL_ARB_imaging).
#define TGL_ENTRY_POINTS_1_2_IMAGING(X)                              \
  X(PFNGLCOLORTABLEPROC, glColorTable)                               \
  X(PFNGLCOLORTABLEPARAMETERFVPROC, glColorTableParameterfv)         \
  X(PFNGLCOLORTABLEPARAMETERIVPROC, glColorTableParameteriv)         \
  X(PFNGLCOPYCOLORTABLEPROC, glCopyColorTable)                       \
  X(PFNGLGETCOLORTABLEPROC, glGetColorTable)                         \
  X(PFNGLGETCOLORTABLEPARAMETERFVPROC, glGetColorTableParameterfv)   \
  X(PFNGLGETCOLORTABLEPARAMETERIVPROC, glGetColorTableParameteriv)   \
  X(PFNGLCOLORSUBTABLEPROC, glColorSubTable)                         \
  X(PFNGLCOPYCOLORSUBTABLEPROC, glCopyColorSubTable)                 \
  X(PFNGLCONVOLUTIONFILTER1DPROC, glConvolutionFilter1D)             \
  X(PFNGLCONVOLUTIONFILTER2DPROC, glConvolutionFilter2D)             \
  X(PFNGLCONVOLUTIONPARAMETERFPROC, glConvolutionParameterf)         \
  X(PFNGLCONVOLUTIONPARAMETERFVPROC, glConvolutionParameterfv)       \
  X(PFNGLCONVOLUTIONPARAMETERIPROC, glConvolutionParameteri)         \
  X(PFNGLCONVOLUTIONPARAMETERIVPROC, glConvolutionParameteriv)       \
  X(PFNGLCOPYCONVOLUTIONFILTER1DPROC, glCopyConvolutionFilter1D)     \
  X(PFNGLCOPYCONVOLUTIONFILTER2DPROC, glCopyConvolutionFilter2D)     \
  X(PFNGLGETCONVOLUTIONFILTERPROC, glGetConvolutionFilter)           \
  X(PFNGLGETCONVOLUTIONPARAMETERFVPROC, glGetConvolutionParameterfv) \
  X(PFNGLGETCONVOLUTIONPARAMETERIVPROC, glGetConvolutionParameteriv) \
  X(PFNGLGETSEPARABLEFILTERPROC, glGetSeparableFilter)               \
  X(PFNGLSEPARABLEFILTER2DPROC, glSeparableFilter2D)                 \
  X(PFNGLGETHISTOGRAMPROC, glGetHistogram)                           \
  X(PFNGLGETHISTOGRAMPARAMETERFVPROC, glGetHistogramParameterfv)     \
  X(PFNGLGETHISTOGRAMPARAMETERIVPROC, glGetHistogramParameteriv)     \
  X(PFNGLGETMINMAXPROC, glGetMinmax)                                 \
  X(PFNGLGETMINMAXPARAMETERFVPROC, glGetMinmaxParameterfv)           \
  X(PFNGLGETMINMAXPARAMETERIVPROC, glGetMinmaxParameteriv)           \
  X(PFNGLHISTOGRAMPROC, glHistogram)                                 \
  X(PFNGLMINMAXPROC, glMinmax)                                       \
  X(PFNGLRESETHISTOGRAMPROC, glResetHistogram)                       \
  X(PFNGLRESETMINMAXPROC, glResetMinmax)                             \
  X(PFNGLBLENDCOLORPROC, glBlendColor)                               \
  X(PFNGLBLENDEQUATIONPROC, glBlendEquation)

// GL 1.2 core.
#define TGL_ENTRY_POINTS_1_2(X)                      \
  X(PFNGLDRAWRANGEELEMENTSPROC, glDrawRangeElements) \
  X(PFNGLTEXIMAGE3DPROC, glTexImage3D)               \
  X(PFNGLTEXSUBIMAGE3DPROC, glTexSubImage3D)         \
  X(PFNGLCOPYTEXSUBIMAGE3DPROC, glCopyTexSubImage3D)

// GL 1.3 core.
#define TGL_ENTRY_POINTS_1_3(X)                                  \
  X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                     \
  X(PFNGLCLIENTACTIVETEXTUREPROC, glClientActiveTexture)         \
  X(PFNGLMULTITEXCOORD1DPROC, glMultiTexCoord1d)                 \
  X(PFNGLMULTITEXCOORD1DVPROC, glMultiTexCoord1dv)               \
  X(PFNGLMULTITEXCOORD1FPROC, glMultiTexCoord1f)                 \
  X(PFNGLMULTITEXCOORD1FVPROC, glMultiTexCoord1fv)               \
  X(PFNGLMULTITEXCOORD1IPROC, glMultiTexCoord1i)                 \
  X(PFNGLMULTITEXCOORD1IVPROC, glMultiTexCoord1iv)               \
  X(PFNGLMULTITEXCOORD1SPROC, glMultiTexCoord1s)                 \
  X(PFNGLMULTITEXCOORD1SVPROC, glMultiTexCoord1sv)               \
  X(PFNGLMULTITEXCOORD2DPROC, glMultiTexCoord2d)                 \
  X(PFNGLMULTITEXCOORD2DVPROC, glMultiTexCoord2dv)               \
  X(PFNGLMULTITEXCOORD2FPROC, glMultiTexCoord2f)                 \
  X(PFNGLMULTITEXCOORD2FVPROC, glMultiTexCoord2fv)               \
  X(PFNGLMULTITEXCOORD2IPROC, glMultiTexCoord2i)                 \
  X(PFNGLMULTITEXCOORD2IVPROC, glMultiTexCoord2iv)               \
  X(PFNGLMULTITEXCOORD2SPROC, glMultiTexCoord2s)                 \
  X(PFNGLMULTITEXCOORD2SVPROC, glMultiTexCoord2sv)               \
  X(PFNGLMULTITEXCOORD3DPROC, glMultiTexCoord3d)                 \
  X(PFNGLMULTITEXCOORD3DVPROC, glMultiTexCoord3dv)               \
  X(PFNGLMULTITEXCOORD3FPROC, glMultiTexCoord3f)                 \
  X(PFNGLMULTITEXCOORD3FVPROC, glMultiTexCoord3fv)               \
  X(PFNGLMULTITEXCOORD3IPROC, glMultiTexCoord3i)                 \
  X(PFNGLMULTITEXCOORD3IVPROC, glMultiTexCoord3iv)               \
  X(PFNGLMULTITEXCOORD3SPROC, glMultiTexCoord3s)                 \
  X(PFNGLMULTITEXCOORD3SVPROC, glMultiTexCoord3sv)               \
  X(PFNGLMULTITEXCOORD4DPROC, glMultiTexCoord4d)                 \
  X(PFNGLMULTITEXCOORD4DVPROC, glMultiTexCoord4dv)               \
  X(PFNGLMULTITEXCOORD4FPROC, glMultiTexCoord4f)                 \
  X(PFNGLMULTITEXCOORD4FVPROC, glMultiTexCoord4fv)               \
  X(PFNGLMULTITEXCOORD4IPROC, glMultiTexCoord4i)                 \
  X(PFNGLMULTITEXCOORD4IVPROC, glMultiTexCoord4iv)               \
  X(PFNGLMULTITEXCOORD4SPROC, glMultiTexCoord4s)                 \
  X(PFNGLMULTITEXCOORD4SVPROC, glMultiTexCoord4sv)               \
  X(PFNGLLOADTRANSPOSEMATRIXFPROC, glLoadTransposeMatrixf)       \
  X(PFNGLLOADTRANSPOSEMATRIXDPROC, glLoadTransposeMatrixd)       \
  X(PFNGLMULTTRANSPOSEMATRIXFPROC, glMultTransposeMatrixf)       \
  X(PFNGLMULTTRANSPOSEMATRIXDPROC, glMultTransposeMatrixd)       \
  X(PFNGLSAMPLECOVERAGEPROC, glSampleCoverage)                   \
  X(PFNGLCOMPRESSEDTEXIMAGE3DPROC, glCompressedTexImage3D)       \
  X(PFNGLCOMPRESSEDTEXIMAGE2DPROC, glCompressedTexImage2D)       \
  X(PFNGLCOMPRESSEDTEXIMAGE1DPROC, glCompressedTexImage1D)       \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE3DPROC, glCompressedTexSubImage3D) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE2DPROC, glCompressedTexSubImage2D) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE1DPROC, glCompressedTexSubImage1D) \
  X(PFNGLGETCOMPRESSEDTEXIMAGEPROC, glGetCompressedTexImage)

// GL 1.4 core.
#define TGL_ENTRY_POINTS_1_4(X)                              \
  X(PFNGLBLENDFUNCSEPARATEPROC, glBlendFuncSeparate)         \
  X(PFNGLFOGCOORDFPROC, glFogCoordf)                         \
  X(PFNGLFOGCOORDFVPROC, glFogCoordfv)                       \
  X(PFNGLFOGCOORDDPROC, glFogCoordd)                         \
  X(PFNGLFOGCOORDDVPROC, glFogCoorddv)                       \
  X(PFNGLFOGCOORDPOINTERPROC, glFogCoordPointer)             \
  X(PFNGLMULTIDRAWARRAYSPROC, glMultiDrawArrays)             \
  X(PFNGLMULTIDRAWELEMENTSPROC, glMultiDrawElements)         \
  X(PFNGLPOINTPARAMETERFPROC, glPointParameterf)             \
  X(PFNGLPOINTPARAMETERFVPROC, glPointParameterfv)           \
  X(PFNGLPOINTPARAMETERIPROC, glPointParameteri)             \
  X(PFNGLPOINTPARAMETERIVPROC, glPointParameteriv)           \
  X(PFNGLSECONDARYCOLOR3BPROC, glSecondaryColor3b)           \
  X(PFNGLSECONDARYCOLOR3BVPROC, glSecondaryColor3bv)         \
  X(PFNGLSECONDARYCOLOR3DPROC, glSecondaryColor3d)           \
  X(PFNGLSECONDARYCOLOR3DVPROC, glSecondaryColor3dv)         \
  X(PFNGLSECONDARYCOLOR3FPROC, glSecondaryColor3f)           \
  X(PFNGLSECONDARYCOLOR3FVPROC, glSecondaryColor3fv)         \
  X(PFNGLSECONDARYCOLOR3IPROC, glSecondaryColor3i)           \
  X(PFNGLSECONDARYCOLOR3IVPROC, glSecondaryColor3iv)         \
  X(PFNGLSECONDARYCOLOR3SPROC, glSecondaryColor3s)           \
  X(PFNGLSECONDARYCOLOR3SVPROC, glSecondaryColor3sv)         \
  X(PFNGLSECONDARYCOLOR3UBPROC, glSecondaryColor3ub)         \
  X(PFNGLSECONDARYCOLOR3UBVPROC, glSecondaryColor3ubv)       \
  X(PFNGLSECONDARYCOLOR3UIPROC, glSecondaryColor3ui)         \
  X(PFNGLSECONDARYCOLOR3UIVPROC, glSecondaryColor3uiv)       \
  X(PFNGLSECONDARYCOLOR3USPROC, glSecondaryColor3us)         \
  X(PFNGLSECONDARYCOLOR3USVPROC, glSecondaryColor3usv)       \
  X(PFNGLSECONDARYCOLORPOINTERPROC, glSecondaryColorPointer) \
  X(PFNGLWINDOWPOS2DPROC, glWindowPos2d)                     \
  X(PFNGLWINDOWPOS2DVPROC, glWindowPos2dv)                   \
  X(PFNGLWINDOWPOS2FPROC, glWindowPos2f)                     \
  X(PFNGLWINDOWPOS2FVPROC, glWindowPos2fv)                   \
  X(PFNGLWINDOWPOS2IPROC, glWindowPos2i)                     \
  X(PFNGLWINDOWPOS2IVPROC, glWindowPos2iv)                   \
  X(PFNGLWINDOWPOS2SPROC, glWindowPos2s)                     \
  X(PFNGLWINDOWPOS2SVPROC, glWindowPos2sv)                   \
  X(PFNGLWINDOWPOS3DPROC, glWindowPos3d)                     \
  X(PFNGLWINDOWPOS3DVPROC, glWindowPos3dv)                   \
  X(PFNGLWINDOWPOS3FPROC, glWindowPos3f)                     \
  X(PFNGLWINDOWPOS3FVPROC, glWindowPos3fv)                   \
  X(PFNGLWINDOWPOS3IPROC, glWindowPos3i)                     \
  X(PFNGLWINDOWPOS3IVPROC, glWindowPos3iv)                   \
  X(PFNGLWINDOWPOS3SPROC, glWindowPos3s)                     \
  X(PFNGLWINDOWPOS3SVPROC, glWindowPos3sv)

// GL 1.5, optional: occlusion queries.
#define TGL_ENTRY_POINTS_1_5_QUERY(X)              \
  X(PFNGLGENQUERIESPROC, glGenQueries)             \
  X(PFNGLDELETEQUERIESPROC, glDeleteQueries)       \
  X(PFNGLISQUERYPROC, glIsQuery)                   \
  X(PFNGLBEGINQUERYPROC, glBeginQuery)             \
  X(PFNGLENDQUERYPROC, glEndQuery)                 \
  X(PFNGLGETQUERYIVPROC, glGetQueryiv)             \
  X(PFNGLGETQUERYOBJECTIVPROC, glGetQueryObjectiv) \
  X(PFNGLGETQUERYOBJECTUIVPROC, glGetQueryObjectuiv)

// GL 1.5 core.
#define TGL_ENTRY_POINTS_1_5(X)                            \
  X(PFNGLBINDBUFFERPROC, glBindBuffer)                     \
  X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)               \
  X(PFNGLGENBUFFERSPROC, glGenBuffers)                     \
  X(PFNGLISBUFFERPROC, glIsBuffer)                         \
  X(PFNGLBUFFERDATAPROC, glBufferData)                     \
  X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)               \
  X(PFNGLGETBUFFERSUBDATAPROC, glGetBufferSubData)         \
  X(PFNGLMAPBUFFERPROC, glMapBuffer)                       \
  X(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)                   \
  X(PFNGLGETBUFFERPARAMETERIVPROC, glGetBufferParameteriv) \
  X(PFNGLGETBUFFERPOINTERVPROC, glGetBufferPointerv)

// GL 2.0, optional: geometry shaders (GL_EXT_geometry_shader4).
#define TGL_ENTRY_POINTS_2_0_GEOMETRY(X)                               \
  X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)             \
  X(PFNGLFRAMEBUFFERTEXTUREEXTPROC, glFramebufferTextureEXT)           \
  X(PFNGLFRAMEBUFFERTEXTURELAYEREXTPROC, glFramebufferTextureLayerEXT) \
  X(PFNGLFRAMEBUFFERTEXTUREFACEEXTPROC, glFramebufferTextureFaceEXT)

// GL 2.0 core.
#define TGL_ENTRY_POINTS_2_0(X)                                    \
  X(PFNGLBLENDEQUATIONSEPARATEPROC, glBlendEquationSeparate)       \
  X(PFNGLDRAWBUFFERSPROC, glDrawBuffers)                           \
  X(PFNGLSTENCILOPSEPARATEPROC, glStencilOpSeparate)               \
  X(PFNGLSTENCILFUNCSEPARATEPROC, glStencilFuncSeparate)           \
  X(PFNGLSTENCILMASKSEPARATEPROC, glStencilMaskSeparate)           \
  X(PFNGLATTACHSHADERPROC, glAttachShader)                         \
  X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)             \
  X(PFNGLCOMPILESHADERPROC, glCompileShader)                       \
  X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                       \
  X(PFNGLCREATESHADERPROC, glCreateShader)                         \
  X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                       \
  X(PFNGLDELETESHADERPROC, glDeleteShader)                         \
  X(PFNGLDETACHSHADERPROC, glDetachShader)                         \
  X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray) \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)   \
  X(PFNGLGETACTIVEATTRIBPROC, glGetActiveAttrib)                   \
  X(PFNGLGETACTIVEUNIFORMPROC, glGetActiveUniform)                 \
  X(PFNGLGETATTACHEDSHADERSPROC, glGetAttachedShaders)             \
  X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation)               \
  X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                         \
  X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)               \
  X(PFNGLGETSHADERIVPROC, glGetShaderiv)                           \
  X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                 \
  X(PFNGLGETSHADERSOURCEPROC, glGetShaderSource)                   \
  X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)             \
  X(PFNGLGETUNIFORMFVPROC, glGetUniformfv)                         \
  X(PFNGLGETUNIFORMIVPROC, glGetUniformiv)                         \
  X(PFNGLGETVERTEXATTRIBDVPROC, glGetVertexAttribdv)               \
  X(PFNGLGETVERTEXATTRIBFVPROC, glGetVertexAttribfv)               \
  X(PFNGLGETVERTEXATTRIBIVPROC, glGetVertexAttribiv)               \
  X(PFNGLGETVERTEXATTRIBPOINTERVPROC, glGetVertexAttribPointerv)   \
  X(PFNGLISPROGRAMPROC, glIsProgram)                               \
  X(PFNGLISSHADERPROC, glIsShader)                                 \
  X(PFNGLLINKPROGRAMPROC, glLinkProgram)                           \
  X(PFNGLSHADERSOURCEPROC, glShaderSource)                         \
  X(PFNGLUSEPROGRAMPROC, glUseProgram)                             \
  X(PFNGLUNIFORM1FPROC, glUniform1f)                               \
  X(PFNGLUNIFORM2FPROC, glUniform2f)                               \
  X(PFNGLUNIFORM3FPROC, glUniform3f)                               \
  X(PFNGLUNIFORM4FPROC, glUniform4f)                               \
  X(PFNGLUNIFORM1IPROC, glUniform1i)                               \
  X(PFNGLUNIFORM2IPROC, glUniform2i)                               \
  X(PFNGLUNIFORM3IPROC, glUniform3i)                               \
  X(PFNGLUNIFORM4IPROC, glUniform4i)                               \
  X(PFNGLUNIFORM1FVPROC, glUniform1fv)                             \
  X(PFNGLUNIFORM2FVPROC, glUniform2fv)                             \
  X(PFNGLUNIFORM3FVPROC, glUniform3fv)                             \
  X(PFNGLUNIFORM4FVPROC, glUniform4fv)                             \
  X(PFNGLUNIFORM1IVPROC, glUniform1iv)                             \
  X(PFNGLUNIFORM2IVPROC, glUniform2iv)                             \
  X(PFNGLUNIFORM3IVPROC, glUniform3iv)                             \
  X(PFNGLUNIFORM4IVPROC, glUniform4iv)                             \
  X(PFNGLUNIFORMMATRIX2FVPROC, glUniformMatrix2fv)                 \
  X(PFNGLUNIFORMMATRIX3FVPROC, glUniformMatrix3fv)                 \
  X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                 \
  X(PFNGLVALIDATEPROGRAMPROC, glValidateProgram)                   \
  X(PFNGLVERTEXATTRIB1DPROC, glVertexAttrib1d)                     \
  X(PFNGLVERTEXATTRIB1DVPROC, glVertexAttrib1dv)                   \
  X(PFNGLVERTEXATTRIB1FPROC, glVertexAttrib1f)                     \
  X(PFNGLVERTEXATTRIB1FVPROC, glVertexAttrib1fv)                   \
  X(PFNGLVERTEXATTRIB1SPROC, glVertexAttrib1s)                     \
  X(PFNGLVERTEXATTRIB1SVPROC, glVertexAttrib1sv)                   \
  X(PFNGLVERTEXATTRIB2DPROC, glVertexAttrib2d)                     \
  X(PFNGLVERTEXATTRIB2DVPROC, glVertexAttrib2dv)                   \
  X(PFNGLVERTEXATTRIB2FPROC, glVertexAttrib2f)                     \
  X(PFNGLVERTEXATTRIB2FVPROC, glVertexAttrib2fv)                   \
  X(PFNGLVERTEXATTRIB2SPROC, glVertexAttrib2s)                     \
  X(PFNGLVERTEXATTRIB2SVPROC, glVertexAttrib2sv)                   \
  X(PFNGLVERTEXATTRIB3DPROC, glVertexAttrib3d)                     \
  X(PFNGLVERTEXATTRIB3DVPROC, glVertexAttrib3dv)                   \
  X(PFNGLVERTEXATTRIB3FPROC, glVertexAttrib3f)                     \
  X(PFNGLVERTEXATTRIB3FVPROC, glVertexAttrib3fv)                   \
  X(PFNGLVERTEXATTRIB3SPROC, glVertexAttrib3s)                     \
  X(PFNGLVERTEXATTRIB3SVPROC, glVertexAttrib3sv)                   \
  X(PFNGLVERTEXATTRIB4NBVPROC, glVertexAttrib4Nbv)                 \
  X(PFNGLVERTEXATTRIB4NIVPROC, glVertexAttrib4Niv)                 \
  X(PFNGLVERTEXATTRIB4NSVPROC, glVertexAttrib4Nsv)                 \
  X(PFNGLVERTEXATTRIB4NUBPROC, glVertexAttrib4Nub)                 \
  X(PFNGLVERTEXATTRIB4NUBVPROC, glVertexAttrib4Nubv)               \
  X(PFNGLVERTEXATTRIB4NUIVPROC, glVertexAttrib4Nuiv)               \
  X(PFNGLVERTEXATTRIB4NUSVPROC, glVertexAttrib4Nusv)               \
  X(PFNGLVERTEXATTRIB4BVPROC, glVertexAttrib4bv)                   \
  X(PFNGLVERTEXATTRIB4DPROC, glVertexAttrib4d)                     \
  X(PFNGLVERTEXATTRIB4DVPROC, glVertexAttrib4dv)                   \
  X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f)                     \
  X(PFNGLVERTEXATTRIB4FVPROC, glVertexAttrib4fv)                   \
  X(PFNGLVERTEXATTRIB4IVPROC, glVertexAttrib4iv)                   \
  X(PFNGLVERTEXATTRIB4SPROC, glVertexAttrib4s)                     \
  X(PFNGLVERTEXATTRIB4SVPROC, glVertexAttrib4sv)                   \
  X(PFNGLVERTEXATTRIB4UBVPROC, glVertexAttrib4ubv)                 \
  X(PFNGLVERTEXATTRIB4UIVPROC, glVertexAttrib4uiv)                 \
  X(PFNGLVERTEXATTRIB4USVPROC, glVertexAttrib4usv)                 \
  X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)

// Every slot, in loading order.
#define TGL_ENTRY_POINTS_ALL(X)    \
  TGL_ENTRY_POINTS_1_2_IMAGING(X)  \
  TGL_ENTRY_POINTS_1_2(X)          \
  TGL_ENTRY_POINTS_1_3(X)          \
  TGL_ENTRY_POINTS_1_4(X)          \
  TGL_ENTRY_POINTS_1_5_QUERY(X)    \
  TGL_ENTRY_POINTS_1_5(X)          \
  TGL_ENTRY_POINTS_2_0_GEOMETRY(X) \
  TGL_ENTRY_POINTS_2_0(X)
