#pragma once
// Mipmap chains built from the pixels we upload, the same on every driver
// and without asking the driver to render them (on a software renderer that
// costs a shader compile per format while loading).
#include <GL/glew.h>

#include <cstdint>
#include <vector>

// The next level down: max(1, width / 2) x max(1, height / 2) texels, each
// the rounded mean of the 2 x 2 block it covers (a last odd row or column
// falls away, as the level sizes of OpenGL round down). `components` bytes
// a texel, rows tightly packed.
void halveImage(const uint8_t* pixels, int width, int height, int components, uint8_t* half);

// Uploads levels 1 to the 1 x 1 level of the texture bound to `target` (or
// of one cube face) from level 0's tightly packed 8-bit pixels.
void uploadMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height,
                       const uint8_t* level0);

// Bytes a texel for an 8-bit pixel format (GL_RGB, GL_RGBA, ...); 0 for others.
int componentsOf(GLenum format);
