#pragma once
// The drawing objects of one OpenGL context: the shader programs primitives are drawn with,
// the vertex array with its streamed vertex buffer and fixed index buffer of quads, and a scratch
// texture for pixmaps written straight into the back buffer. Vertex arrays belong to a single
// context, so each context gets its own set. Game thread only, with that context current.

#include <cstddef>
#include <cstdint>

// The kind of context a window got, which decides the shading language's header.
enum class TGLDialect {
  desktop_core,  // desktop OpenGL 3.3 core
  es,            // OpenGL ES 3.0, or WebGL 2
};

// The most quads one draw holds: the pipeline's fixed index buffer gives each its two
// triangles, sharing the diagonal from its second corner to its fourth, and 16-bit indices
// reach every corner.
constexpr size_t kMostQuads = 16384;
// The batch kind of quads: four vertices each, drawn over the fixed index buffer. (An
// OpenGL mode number no shader dialect draws with.)
constexpr unsigned kQuads = 0x0007;

// One vertex as the shaders read it: the colour is the four bytes the driver keeps,
// normalised by OpenGL to byte / 255.
struct TGLVertex {
  float x, y;
  float u, v;
  uint8_t colour[4];
};

// The fragment stage comes in four straight-line programs, textured or not, with the mask
// mode's alpha test or not, chosen as texturing and the blend mode change.
struct TGLProgram {
  uint32_t program = 0;
  int32_t projection = -1;  // uniform mat4: back-buffer pixels to clip space
};

struct TGLPipeline {
  TGLProgram programs[2][2];  // [textured][alpha test]
  uint32_t vertex_array = 0;
  uint32_t vertex_buffer = 0;
  uint32_t index_buffer = 0;  // the corners of kMostQuads quads, two triangles each
  uint32_t pixmap_texture = 0;
};

// Compiles the programs for the dialect and makes the buffers; false (with one "render:"
// line on stderr and nothing left behind) if the context cannot.
bool CreateGLPipeline(TGLPipeline& pipeline, TGLDialect dialect);
// Deletes what CreateGLPipeline made (programs and buffers are shared with other contexts,
// so they would outlive this one otherwise).
void DeleteGLPipeline(TGLPipeline& pipeline);
