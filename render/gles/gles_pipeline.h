#pragma once
// The drawing objects of one OpenGL ES context: the shader programs primitives are drawn
// with, the vertex array and the one streamed vertex buffer it reads, and a scratch
// texture for pixmaps written straight into the back buffer. Vertex arrays belong to a single
// context, so each context gets its own set. Game thread only, with that context current.

#include <cstdint>

// One vertex as the shaders read it. The colour is kept as the floats OpenGL makes of the
// colour bytes (byte / 255), as the fixed-function driver sends it.
struct TGLESVertex {
  float x, y;
  float u, v;
  float red, green, blue, alpha;
};

// The fragment stage comes in four straight-line programs, textured or not, with the mask
// mode's alpha test or not, chosen as texturing and the blend mode change.
struct TGLESProgram {
  uint32_t program = 0;
  int32_t projection = -1;  // uniform mat4: back-buffer pixels to clip space
};

struct TGLESPipeline {
  TGLESProgram programs[2][2];  // [textured][alpha test]
  uint32_t vertex_array = 0;
  uint32_t vertex_buffer = 0;
  uint32_t pixmap_texture = 0;
};

// Compiles the programs and makes the buffers; false (with one "render:" line on stderr and
// nothing left behind) if the context cannot.
bool CreateGLESPipeline(TGLESPipeline& pipeline);
// Deletes what CreateGLESPipeline made (programs and buffers are shared with other contexts,
// so they would outlive this one otherwise).
void DeleteGLESPipeline(TGLESPipeline& pipeline);
