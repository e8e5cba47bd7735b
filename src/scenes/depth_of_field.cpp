#include "scenes/depth_of_field.h"

#include "main_shaders.h"
#include "util/camera/camera.h"

#include <algorithm>

namespace {
int reflectionDivisor = 1;
}  // namespace

void DepthOfField::setReflectionDivisor(int divisor) { reflectionDivisor = divisor > 1 ? divisor : 1; }

DepthOfField::DepthOfField()
    : sceneTarget(std::make_unique<FBO>(64, 64, 4)), acrossTarget(std::make_unique<FBO>(64, 64, 1)) {
  if (reflectionDivisor > 1) {
    divisor_ = reflectionDivisor;
    reflectionTarget = std::make_unique<FBO>(64, 64, 1);
  }
}

void DepthOfField::resize(int width, int height) {
  sceneTarget->resize(width, height);
  acrossTarget->resize(width, height);
  if (reflectionTarget) {
    const auto smaller = [this](int side) { return std::max(1, (side + divisor_ - 1) / divisor_); };
    reflectionTarget->resize(smaller(width), smaller(height));
  }
}

// The reflection is drawn as the sharp picture is (see beginSharp).
void DepthOfField::beginReflection() {
  reflectionTarget->bind(true);
  glPushAttrib(GL_COLOR_BUFFER_BIT);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void DepthOfField::endReflection() { endSharp(); }

void DepthOfField::layReflection() {
  // Each texel over its 2 x 2 pixels (when halved), and one pixel higher:
  // where the content meets its reflection (the floor under a wall, the
  // horizon) a pixel just below the meeting line then always shows a texel
  // of the reflection, never one above the line, which the reflection
  // leaves empty and which would show as a dark dot there once the picture
  // is blurred; the pixel row above the line that the reflection now
  // reaches is the content's own, drawn over it. The bottom row repeats the
  // texels' first. The depth stays the cleared one: the floor writes its own.
  // Drawn as two textured quads, copied as they are, rather than blitted:
  // a driver makes its blit code on the first blit that reaches a pixel,
  // which the show's warm-up (reaching none) would leave to the first frame
  // with a reflection (50 to 60 ms on llvmpipe, made anew every run).
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT |
               GL_TEXTURE_BIT);
  glUseProgramObjectARB(0);
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  glActiveTexture(GL_TEXTURE0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  reflectionTarget->setFilter(GL_NEAREST);
  const FBO& to = *sceneTarget;
  glViewport(0, 0, to.width, to.height);  // the bottom row
  reflectionTarget->drawFullscreen();
  glViewport(0, 1, to.width, to.height);  // the rest, one pixel higher
  reflectionTarget->drawFullscreen();
  glPopAttrib();  // the texture bindings too
}

void DepthOfField::beginSharp() {
  sceneTarget->bind(true);
  // The content blends its colour as the scenes do; its coverage piles up
  // as "over" does, so the target holds a picture premultiplied by its alpha
  // that the compose lays over the framebuffer once.
  glPushAttrib(GL_COLOR_BUFFER_BIT);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void DepthOfField::endSharp() {
  glPopAttrib();
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void DepthOfField::blurAndCompose(const ShaderLibrary& shaders, const Camera& camera) {
  // The matrices of the content stay as they were; the full-screen quads
  // bring their own.
  // The blur is separable: a pass across into its own target here, and the
  // compose takes the taps down as it reads that target (see dof.frag). The
  // pass across writes its sums as they are (no blending, no alpha test). It
  // copies 1:1 between targets of one size, so every tap falls on a texel's
  // centre: nearest sampling reads what linear filtering reads, with one
  // fetch instead of four.
  sceneTarget->setFilter(GL_NEAREST);
  ShaderProgram& blur = *shaders.blur;
  acrossTarget->bind(true);
  glPushAttrib(GL_COLOR_BUFFER_BIT);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  blur.use();
  blur.setUniform("direction", 1.0f, 0.0f, 0.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  sceneTarget->drawFullscreen();
  glPopAttrib();
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);

  // The compose reads 1:1 too when the picture has the targets' size (a
  // 16:9 window); a letterboxed picture scales them and keeps filtering.
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const GLenum composeFilter =
      viewport[2] == sceneTarget->width && viewport[3] == sceneTarget->height ? GL_NEAREST : GL_LINEAR;
  sceneTarget->setFilter(composeFilter);
  acrossTarget->setFilter(composeFilter);

  ShaderProgram& dof = *shaders.dof;
  dof.use();
  dof.setUniform("tex_sharp", 0);
  dof.setUniform("tex_blurry", 1);
  dof.setUniform("tex_depth", 2);
  dof.setUniform("focus_point", camera.focusPoint);
  dof.setUniform("focus_range", camera.focusRange);
  dof.setUniform("focus_falloff", camera.focusFalloff);
  dof.setUniform("zNear", camera.znear);
  dof.setUniform("zFar", camera.zfar);
  dof.setUniform("blur_texel", 1.0f / static_cast<float>(acrossTarget->height));
  acrossTarget->bindColorTexture(1);
  sceneTarget->bindDepthTexture();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glPushAttrib(GL_COLOR_BUFFER_BIT);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);  // the picture is premultiplied
  sceneTarget->drawFullscreen();
  glPopAttrib();

  // Units 1 and 2 are the pipeline's own: nothing stays bound there.
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgramObjectARB(0);
}
