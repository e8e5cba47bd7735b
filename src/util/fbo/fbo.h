#pragma once
// FBO: an off-screen render target. A framebuffer object with a depth
// attachment (renderbuffer or depth texture) and one or three colour
// textures, in one of four fixed configurations:
//
//   type 1: depth renderbuffer, one GL_RGBA8 colour texture
//   type 2: depth renderbuffer, three GL_RGBA32F colour textures (deferred shading)
//   type 3: depth renderbuffer, one GL_RGBA32F colour texture
//   type 4: GL_DEPTH_COMPONENT32 depth texture, one GL_RGBA8 colour texture
//
// A pass binds it, draws, then pops the viewport (glPopAttrib) and binds
// framebuffer 0 again. Colour texture 0 can then be drawn full screen or
// bound to a unit; the depth texture always goes to unit 2. Every failure
// is fatal.
#include <GL/glew.h>

#include <memory>
#include <vector>

#include "util/texture/texture.h"

class FBO {
 public:
  FBO(int width, int height, int type);

  // Recreates every attachment at the new size; nothing happens when the
  // size stays. Without non-power-of-two textures the target is square.
  void resize(int width, int height);
  void resize(int width, int height, bool nonPowerOfTwo);

  // Makes the framebuffer the draw target with its own viewport (saved on
  // the attribute stack), optionally cleared.
  void bind(bool clear);
  void bindColorTexture(int unit) const;
  void bindDepthTexture() const;
  // Colour texture 0 over the whole current viewport.
  void drawFullscreen() const;
  // The colour textures' minification and magnification filter, kept across
  // resizes; GL calls only when it changes. Leaves unit 0's 2D binding at 0.
  void setFilter(GLenum filter);

  void addDepthBuffer();
  void addDepthTexture();
  void addColorTexture(GLint internalFormat);

  int width;
  int height;
  int samples = 0;
  int maxDrawBuffers = 0;
  GLuint framebuffer = 0;
  GLuint depthRenderbuffer = 0;
  std::unique_ptr<Texture> depthTexture;
  std::vector<std::unique_ptr<Texture>> colorTextures;

 private:
  void checkComplete() const;
  std::unique_ptr<Texture> makeTexture(GLint internalFormat) const;
};

// The square side used without non-power-of-two textures: the largest power
// of two below the width (1024 for 1280, 512 for 1024 and for 800).
int powerOfTwoSide(int width);
