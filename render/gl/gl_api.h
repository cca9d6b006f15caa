#pragma once
// The OpenGL entry points the driver uses: the common ground of desktop OpenGL 3.3 core,
// OpenGL ES 3.0 and WebGL 2, and nothing beyond it. On a desktop they are looked up at run
// time through SDL once a context exists (LoadGLFunctions), so no program links an OpenGL
// library and the same binary draws through whichever kind of context it gets; in a
// browser they are WebGL's own functions, linked directly. Code calls them by their usual
// names (glClear, glDrawElements, ...). Game thread only.

#include <cstddef>
#include <cstdint>

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLuint = unsigned int;
using GLfloat = float;
using GLchar = char;
using GLubyte = unsigned char;
using GLsizeiptr = std::ptrdiff_t;
using GLintptr = std::ptrdiff_t;

#if defined(_WIN32) && !defined(__EMSCRIPTEN__)
#define VEXTRAL_GLAPI __stdcall
#else
#define VEXTRAL_GLAPI
#endif

// Every entry point: return type, name without "gl", parameters.
#define VEXTRAL_GL_FUNCTIONS(X)                                                                  \
  X(void, ActiveTexture, (GLenum texture))                                                       \
  X(void, AttachShader, (GLuint program, GLuint shader))                                         \
  X(void, BindAttribLocation, (GLuint program, GLuint index, const GLchar* name))                \
  X(void, BindBuffer, (GLenum target, GLuint buffer))                                            \
  X(void, BindFramebuffer, (GLenum target, GLuint framebuffer))                                  \
  X(void, BindRenderbuffer, (GLenum target, GLuint renderbuffer))                                \
  X(void, BindTexture, (GLenum target, GLuint texture))                                          \
  X(void, BindVertexArray, (GLuint array))                                                       \
  X(void, BlendFunc, (GLenum source, GLenum destination))                                        \
  X(void, BlitFramebuffer,                                                                       \
    (GLint x0, GLint y0, GLint x1, GLint y1, GLint to_x0, GLint to_y0, GLint to_x1, GLint to_y1, \
     GLbitfield mask, GLenum filter))                                                            \
  X(void, BufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage))          \
  X(void, BufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, const void* data))    \
  X(GLenum, CheckFramebufferStatus, (GLenum target))                                             \
  X(void, Clear, (GLbitfield mask))                                                              \
  X(void, ClearColor, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha))                 \
  X(void, CompileShader, (GLuint shader))                                                        \
  X(GLuint, CreateProgram, ())                                                                   \
  X(GLuint, CreateShader, (GLenum kind))                                                         \
  X(void, DeleteBuffers, (GLsizei count, const GLuint* buffers))                                 \
  X(void, DeleteFramebuffers, (GLsizei count, const GLuint* framebuffers))                       \
  X(void, DeleteProgram, (GLuint program))                                                       \
  X(void, DeleteRenderbuffers, (GLsizei count, const GLuint* renderbuffers))                     \
  X(void, DeleteShader, (GLuint shader))                                                         \
  X(void, DeleteTextures, (GLsizei count, const GLuint* textures))                               \
  X(void, DeleteVertexArrays, (GLsizei count, const GLuint* arrays))                             \
  X(void, Disable, (GLenum capability))                                                          \
  X(void, DrawArrays, (GLenum mode, GLint first, GLsizei count))                                 \
  X(void, DrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices))          \
  X(void, Enable, (GLenum capability))                                                           \
  X(void, EnableVertexAttribArray, (GLuint index))                                               \
  X(void, Finish, ())                                                                            \
  X(void, FramebufferRenderbuffer,                                                               \
    (GLenum target, GLenum attachment, GLenum renderbuffer_target, GLuint renderbuffer))         \
  X(void, FramebufferTexture2D,                                                                  \
    (GLenum target, GLenum attachment, GLenum texture_target, GLuint texture, GLint level))      \
  X(void, GenBuffers, (GLsizei count, GLuint * buffers))                                         \
  X(void, GenFramebuffers, (GLsizei count, GLuint * framebuffers))                               \
  X(void, GenRenderbuffers, (GLsizei count, GLuint * renderbuffers))                             \
  X(void, GenTextures, (GLsizei count, GLuint * textures))                                       \
  X(void, GenVertexArrays, (GLsizei count, GLuint * arrays))                                     \
  X(GLenum, GetError, ())                                                                        \
  X(void, GetFloatv, (GLenum name, GLfloat * values))                                            \
  X(void, GetIntegerv, (GLenum name, GLint * values))                                            \
  X(void, GetProgramInfoLog, (GLuint program, GLsizei size, GLsizei * length, GLchar * log))     \
  X(void, GetProgramiv, (GLuint program, GLenum name, GLint * value))                            \
  X(void, GetShaderInfoLog, (GLuint shader, GLsizei size, GLsizei * length, GLchar * log))       \
  X(void, GetShaderiv, (GLuint shader, GLenum name, GLint * value))                              \
  X(const GLubyte*, GetString, (GLenum name))                                                    \
  X(GLint, GetUniformLocation, (GLuint program, const GLchar* name))                             \
  X(GLboolean, IsEnabled, (GLenum capability))                                                   \
  X(GLboolean, IsRenderbuffer, (GLuint renderbuffer))                                            \
  X(GLboolean, IsTexture, (GLuint texture))                                                      \
  X(void, LineWidth, (GLfloat width))                                                            \
  X(void, LinkProgram, (GLuint program))                                                         \
  X(void, PixelStorei, (GLenum name, GLint value))                                               \
  X(void, ReadBuffer, (GLenum buffer))                                                           \
  X(void, ReadPixels,                                                                            \
    (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)) \
  X(void, RenderbufferStorage, (GLenum target, GLenum format, GLsizei width, GLsizei height))    \
  X(void, Scissor, (GLint x, GLint y, GLsizei width, GLsizei height))                            \
  X(void, ShaderSource,                                                                          \
    (GLuint shader, GLsizei count, const GLchar* const* sources, const GLint* lengths))          \
  X(void, TexImage2D,                                                                            \
    (GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,           \
     GLint border, GLenum format, GLenum type, const void* pixels))                              \
  X(void, TexParameteri, (GLenum target, GLenum name, GLint value))                              \
  X(void, TexSubImage2D,                                                                         \
    (GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, \
     GLenum type, const void* pixels))                                                           \
  X(void, Uniform1i, (GLint location, GLint value))                                              \
  X(void, UniformMatrix4fv,                                                                      \
    (GLint location, GLsizei count, GLboolean transpose, const GLfloat* values))                 \
  X(void, UseProgram, (GLuint program))                                                          \
  X(void, VertexAttribPointer,                                                                   \
    (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,                \
     const void* offset))                                                                        \
  X(void, Viewport, (GLint x, GLint y, GLsizei width, GLsizei height))

#if defined(__EMSCRIPTEN__)
#define VEXTRAL_GL_DECLARE(result, name, parameters) result gl##name parameters;
extern "C" {
VEXTRAL_GL_FUNCTIONS(VEXTRAL_GL_DECLARE)
}
#undef VEXTRAL_GL_DECLARE
#else
// The looked-up entry points; null until LoadGLFunctions succeeds.
struct TGLFunctions {
#define VEXTRAL_GL_MEMBER(result, name, parameters) \
  result(VEXTRAL_GLAPI* name) parameters = nullptr;
  VEXTRAL_GL_FUNCTIONS(VEXTRAL_GL_MEMBER)
#undef VEXTRAL_GL_MEMBER
};
extern TGLFunctions vextral_gl;
#define glActiveTexture vextral_gl.ActiveTexture
#define glAttachShader vextral_gl.AttachShader
#define glBindAttribLocation vextral_gl.BindAttribLocation
#define glBindBuffer vextral_gl.BindBuffer
#define glBindFramebuffer vextral_gl.BindFramebuffer
#define glBindRenderbuffer vextral_gl.BindRenderbuffer
#define glBindTexture vextral_gl.BindTexture
#define glBindVertexArray vextral_gl.BindVertexArray
#define glBlendFunc vextral_gl.BlendFunc
#define glBlitFramebuffer vextral_gl.BlitFramebuffer
#define glBufferData vextral_gl.BufferData
#define glBufferSubData vextral_gl.BufferSubData
#define glCheckFramebufferStatus vextral_gl.CheckFramebufferStatus
#define glClear vextral_gl.Clear
#define glClearColor vextral_gl.ClearColor
#define glCompileShader vextral_gl.CompileShader
#define glCreateProgram vextral_gl.CreateProgram
#define glCreateShader vextral_gl.CreateShader
#define glDeleteBuffers vextral_gl.DeleteBuffers
#define glDeleteFramebuffers vextral_gl.DeleteFramebuffers
#define glDeleteProgram vextral_gl.DeleteProgram
#define glDeleteRenderbuffers vextral_gl.DeleteRenderbuffers
#define glDeleteShader vextral_gl.DeleteShader
#define glDeleteTextures vextral_gl.DeleteTextures
#define glDeleteVertexArrays vextral_gl.DeleteVertexArrays
#define glDisable vextral_gl.Disable
#define glDrawArrays vextral_gl.DrawArrays
#define glDrawElements vextral_gl.DrawElements
#define glEnable vextral_gl.Enable
#define glEnableVertexAttribArray vextral_gl.EnableVertexAttribArray
#define glFinish vextral_gl.Finish
#define glFramebufferRenderbuffer vextral_gl.FramebufferRenderbuffer
#define glFramebufferTexture2D vextral_gl.FramebufferTexture2D
#define glGenBuffers vextral_gl.GenBuffers
#define glGenFramebuffers vextral_gl.GenFramebuffers
#define glGenRenderbuffers vextral_gl.GenRenderbuffers
#define glGenTextures vextral_gl.GenTextures
#define glGenVertexArrays vextral_gl.GenVertexArrays
#define glGetError vextral_gl.GetError
#define glGetFloatv vextral_gl.GetFloatv
#define glGetIntegerv vextral_gl.GetIntegerv
#define glGetProgramInfoLog vextral_gl.GetProgramInfoLog
#define glGetProgramiv vextral_gl.GetProgramiv
#define glGetShaderInfoLog vextral_gl.GetShaderInfoLog
#define glGetShaderiv vextral_gl.GetShaderiv
#define glGetString vextral_gl.GetString
#define glGetUniformLocation vextral_gl.GetUniformLocation
#define glIsEnabled vextral_gl.IsEnabled
#define glIsRenderbuffer vextral_gl.IsRenderbuffer
#define glIsTexture vextral_gl.IsTexture
#define glLineWidth vextral_gl.LineWidth
#define glLinkProgram vextral_gl.LinkProgram
#define glPixelStorei vextral_gl.PixelStorei
#define glReadBuffer vextral_gl.ReadBuffer
#define glReadPixels vextral_gl.ReadPixels
#define glRenderbufferStorage vextral_gl.RenderbufferStorage
#define glScissor vextral_gl.Scissor
#define glShaderSource vextral_gl.ShaderSource
#define glTexImage2D vextral_gl.TexImage2D
#define glTexParameteri vextral_gl.TexParameteri
#define glTexSubImage2D vextral_gl.TexSubImage2D
#define glUniform1i vextral_gl.Uniform1i
#define glUniformMatrix4fv vextral_gl.UniformMatrix4fv
#define glUseProgram vextral_gl.UseProgram
#define glVertexAttribPointer vextral_gl.VertexAttribPointer
#define glViewport vextral_gl.Viewport
#endif

// Looks every entry point up for the current context; false (naming the first one missing
// on stderr as a "render:" line, and keeping what was loaded before) when it lacks any.
// Called after each context is made: a window system may hand out other entry points for
// another kind of context.
bool LoadGLFunctions();

// The values used with them, as every OpenGL dialect numbers them.
#define GL_FALSE 0
#define GL_TRUE 1
#define GL_NO_ERROR 0
#define GL_ZERO 0
#define GL_ONE 1
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_TRIANGLES 0x0004
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_COLOR 0x0306
#define GL_BACK 0x0405
#define GL_BLEND 0x0BE2
#define GL_VIEWPORT 0x0BA2
#define GL_SCISSOR_BOX 0x0C10
#define GL_SCISSOR_TEST 0x0C11
#define GL_COLOR_CLEAR_VALUE 0x0C22
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_ROW_LENGTH 0x0D02
#define GL_PACK_ALIGNMENT 0x0D05
#define GL_MAX_TEXTURE_SIZE 0x0D33
#define GL_TEXTURE_2D 0x0DE1
#define GL_UNSIGNED_BYTE 0x1401
#define GL_UNSIGNED_SHORT 0x1403
#define GL_FLOAT 0x1406
#define GL_RGBA 0x1908
#define GL_VENDOR 0x1F00
#define GL_RENDERER 0x1F01
#define GL_VERSION 0x1F02
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_NEAREST_MIPMAP_NEAREST 0x2700
#define GL_LINEAR_MIPMAP_LINEAR 0x2703
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_TEXTURE_WRAP_S 0x2802
#define GL_TEXTURE_WRAP_T 0x2803
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_RGBA8 0x8058
#define GL_TEXTURE_BINDING_2D 0x8069
#define GL_CLAMP_TO_EDGE 0x812F
#define GL_TEXTURE_MAX_LEVEL 0x813D
#define GL_DEPTH_STENCIL_ATTACHMENT 0x821A
#define GL_TEXTURE0 0x84C0
#define GL_MAX_RENDERBUFFER_SIZE 0x84E8
#define GL_ARRAY_BUFFER 0x8892
#define GL_ELEMENT_ARRAY_BUFFER 0x8893
#define GL_STREAM_DRAW 0x88E0
#define GL_STATIC_DRAW 0x88E4
#define GL_DYNAMIC_DRAW 0x88E8
#define GL_DEPTH24_STENCIL8 0x88F0
#define GL_FRAGMENT_SHADER 0x8B30
#define GL_VERTEX_SHADER 0x8B31
#define GL_COMPILE_STATUS 0x8B81
#define GL_LINK_STATUS 0x8B82
#define GL_CURRENT_PROGRAM 0x8B8D
#define GL_FRAMEBUFFER_BINDING 0x8CA6
#define GL_READ_FRAMEBUFFER 0x8CA8
#define GL_DRAW_FRAMEBUFFER 0x8CA9
#define GL_READ_FRAMEBUFFER_BINDING 0x8CAA
#define GL_FRAMEBUFFER_COMPLETE 0x8CD5
#define GL_COLOR_ATTACHMENT0 0x8CE0
#define GL_FRAMEBUFFER 0x8D40
#define GL_RENDERBUFFER 0x8D41
