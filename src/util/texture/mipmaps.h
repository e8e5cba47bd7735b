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

// Levels 1 to 1 x 1 of a width x height picture, one after the other in
// one buffer: their bytes together.
size_t mipmapChainBytes(int width, int height, int components);
// Makes those levels from level 0 into `chain` (mipmapChainBytes long).
void makeMipmapChain(const uint8_t* level0, int width, int height, int components, uint8_t* chain);

// Uploads levels 1 to the 1 x 1 level of the texture bound to `target` (or
// of one cube face) from level 0's tightly packed 8-bit pixels, or from
// `chain` where makeMipmapChain has made them already.
void uploadMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height,
                       const uint8_t* level0, const uint8_t* chain = nullptr);

// Levels 1 to 1 x 1 for the texture bound to `target`, their texels undefined.
void allocateMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height);

// Bytes a texel for an 8-bit pixel format (GL_RGB, GL_RGBA, ...); 0 for others.
int componentsOf(GLenum format);

// A picture kept in memory with its whole chain (all texels 0 at first), for a texture that changes
// a little at a time (a canvas painted on): a change recomputes and uploads
// only the texels of each level that it touches. Nothing is allocated after
// construction.
class MipChain {
 public:
  MipChain(int width, int height, int components);

  int levels() const { return static_cast<int>(levels_.size()); }
  int width(int level) const { return levels_[static_cast<size_t>(level)].width; }
  int height(int level) const { return levels_[static_cast<size_t>(level)].height; }
  const uint8_t* pixels(int level) const { return levels_[static_cast<size_t>(level)].pixels.data(); }

  // Writes a block of tightly packed texels into level 0 at (x, y) and
  // brings the levels above up to date.
  void write(int x, int y, int w, int h, const uint8_t* block);
  // Every texel of every level back to 0, as made (nothing written since).
  void clear();
  // What the last write changed, level by level, into the texture bound to
  // `target` (which has the whole chain).
  void uploadChanged(GLenum target, GLenum format) const;

 private:
  struct Level {
    int width, height;
    std::vector<uint8_t> pixels;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the last write's texels here, [x0, x1) x [y0, y1)
  };
  std::vector<Level> levels_;
  int components_;
};
