#include "render/gl/gl_pipeline.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "render/gl/gl_api.h"

namespace {

// The first lines of every shader: the language version of the context's kind.
const char* ShaderHeader(TGLDialect dialect) {
  return dialect == TGLDialect::es ? "#version 300 es\nprecision highp float;\n"
                                   : "#version 330 core\n";
}

// Positions arrive in back-buffer pixels and go through an orthographic matrix (left 0,
// right width, bottom height, top 0), so every vertex lands where the pixel arithmetic of
// the render state puts it.
const char* const kVertexShader = R"(
uniform mat4 u_projection;
in vec2 a_position;
in vec2 a_texcoord;
in vec4 a_colour;
out vec2 v_texcoord;
out vec4 v_colour;
void main() {
  gl_Position = u_projection * vec4(a_position, 0.0, 1.0);
  v_texcoord = a_texcoord;
  v_colour = a_colour;
}
)";

// The texel modulated by the colour; the mask blend mode's alpha test keeps fragments of
// alpha 0.5 and above.
const char* const kFragmentShaders[2][2] = {{R"(
in vec2 v_texcoord;
in vec4 v_colour;
out vec4 fragment_colour;
void main() {
  fragment_colour = v_colour;
}
)",
                                             R"(
in vec2 v_texcoord;
in vec4 v_colour;
out vec4 fragment_colour;
void main() {
  if (!(v_colour.a >= 0.5)) discard;
  fragment_colour = v_colour;
}
)"},
                                            {R"(
uniform sampler2D u_texture;
in vec2 v_texcoord;
in vec4 v_colour;
out vec4 fragment_colour;
void main() {
  fragment_colour = texture(u_texture, v_texcoord) * v_colour;
}
)",
                                             R"(
uniform sampler2D u_texture;
in vec2 v_texcoord;
in vec4 v_colour;
out vec4 fragment_colour;
void main() {
  vec4 colour = texture(u_texture, v_texcoord) * v_colour;
  if (!(colour.a >= 0.5)) discard;
  fragment_colour = colour;
}
)"}};

// Whether a shader compiled or a program linked (status read with `status`); if not, its log
// (read with `log`) goes to stderr as one "render:" line saying what failed.
template <typename Status, typename Log>
bool Succeeded(GLuint object, GLenum status_name, Status status, Log log, const char* failure) {
  GLint succeeded = GL_FALSE;
  status(object, status_name, &succeeded);
  if (succeeded == GL_TRUE) return true;
  char text[512] = {};
  log(object, sizeof text, nullptr, text);
  std::fprintf(stderr, "render: %s: %s\n", failure, text);
  return false;
}

GLuint CompileShader(GLenum kind, TGLDialect dialect, const char* source) {
  const GLuint shader = glCreateShader(kind);
  const char* const sources[2] = {ShaderHeader(dialect), source};
  glShaderSource(shader, 2, sources, nullptr);
  glCompileShader(shader);
  if (Succeeded(shader, GL_COMPILE_STATUS, glGetShaderiv, glGetShaderInfoLog,
                "the OpenGL shader does not compile")) {
    return shader;
  }
  glDeleteShader(shader);
  return 0;
}

GLuint LinkProgram(TGLDialect dialect, const char* fragment_source) {
  const GLuint vertex = CompileShader(GL_VERTEX_SHADER, dialect, kVertexShader);
  const GLuint fragment = vertex ? CompileShader(GL_FRAGMENT_SHADER, dialect, fragment_source) : 0;
  if (!fragment) {
    if (vertex) glDeleteShader(vertex);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glBindAttribLocation(program, 0, "a_position");
  glBindAttribLocation(program, 1, "a_texcoord");
  glBindAttribLocation(program, 2, "a_colour");
  glLinkProgram(program);
  // The program keeps what it needs; the shaders go with it.
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  if (Succeeded(program, GL_LINK_STATUS, glGetProgramiv, glGetProgramInfoLog,
                "the OpenGL shaders do not link")) {
    return program;
  }
  glDeleteProgram(program);
  return 0;
}

const void* Offset(size_t bytes) {
  return reinterpret_cast<const void*>(bytes);
}

}  // namespace

bool CreateGLPipeline(TGLPipeline& pipeline, TGLDialect dialect) {
  pipeline = TGLPipeline{};
  for (int32_t textured = 0; textured < 2; ++textured) {
    for (int32_t alpha_test = 0; alpha_test < 2; ++alpha_test) {
      TGLProgram& program = pipeline.programs[textured][alpha_test];
      program.program = LinkProgram(dialect, kFragmentShaders[textured][alpha_test]);
      if (!program.program) {
        DeleteGLPipeline(pipeline);
        return false;
      }
      program.projection = glGetUniformLocation(program.program, "u_projection");
      const GLint sampler = glGetUniformLocation(program.program, "u_texture");
      glUseProgram(program.program);
      if (sampler >= 0) glUniform1i(sampler, 0);
    }
  }

  glGenVertexArrays(1, &pipeline.vertex_array);
  glBindVertexArray(pipeline.vertex_array);
  glGenBuffers(1, &pipeline.vertex_buffer);
  glBindBuffer(GL_ARRAY_BUFFER, pipeline.vertex_buffer);
  glGenBuffers(1, &pipeline.index_buffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, pipeline.index_buffer);
  std::vector<uint16_t> quads(kMostQuads * 6);
  for (size_t quad = 0; quad < kMostQuads; ++quad) {
    const auto first = static_cast<uint16_t>(quad * 4);
    const uint16_t corners[6] = {0, 1, 3, 1, 2, 3};
    for (size_t i = 0; i < 6; ++i) quads[quad * 6 + i] = static_cast<uint16_t>(first + corners[i]);
  }
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(uint16_t)),
               quads.data(), GL_STATIC_DRAW);
  constexpr GLsizei stride = sizeof(TGLVertex);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TGLVertex, x)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TGLVertex, u)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        Offset(offsetof(TGLVertex, colour)));

  glGenTextures(1, &pipeline.pixmap_texture);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, pipeline.pixmap_texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void DeleteGLPipeline(TGLPipeline& pipeline) {
  if (pipeline.pixmap_texture) glDeleteTextures(1, &pipeline.pixmap_texture);
  if (pipeline.vertex_buffer) glDeleteBuffers(1, &pipeline.vertex_buffer);
  if (pipeline.index_buffer) glDeleteBuffers(1, &pipeline.index_buffer);
  if (pipeline.vertex_array) glDeleteVertexArrays(1, &pipeline.vertex_array);
  for (auto& row : pipeline.programs) {
    for (TGLProgram& program : row) {
      if (program.program) glDeleteProgram(program.program);
    }
  }
  pipeline = TGLPipeline{};
}
