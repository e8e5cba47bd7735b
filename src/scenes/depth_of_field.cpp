#include "scenes/depth_of_field.h"

#include "main_shaders.h"
#include "util/camera/camera.h"

DepthOfField::DepthOfField()
    : sceneTarget(std::make_unique<FBO>(64, 64, 4)),
      blurTarget(std::make_unique<FBO>(64, 64, 1)),
      acrossTarget(std::make_unique<FBO>(64, 64, 1)) {
  // Only ever read 1:1 by the pass down.
  acrossTarget->setFilter(GL_NEAREST);
}

void DepthOfField::resize(int width, int height) {
  blurTarget->resize(width, height);
  sceneTarget->resize(width, height);
  acrossTarget->resize(width, height);
}

void DepthOfField::beginSharp() { sceneTarget->bind(true); }

void DepthOfField::endSharp() {
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void DepthOfField::blurAndCompose(const ShaderLibrary& shaders, const Camera& camera) {
  // The matrices of the content stay as they were; the full-screen quads
  // bring their own.
  // The blur in two passes, across and then down. The first one writes its
  // sums as they are (no blending, no alpha test), so the second one, under
  // the scene's own state, makes what one pass of the whole kernel made.
  // The blur passes copy 1:1 between targets of one size, so every tap falls
  // on a texel's centre: nearest sampling reads what linear filtering reads,
  // with one fetch instead of four.
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
  blurTarget->bind(true);
  blur.setUniform("direction", 0.0f, 1.0f, 0.0f, 0.0f);
  acrossTarget->drawFullscreen();
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);

  // The compose reads 1:1 too when the picture has the targets' size (a
  // 16:9 window); a letterboxed picture scales them and keeps filtering.
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const GLenum composeFilter =
      viewport[2] == sceneTarget->width && viewport[3] == sceneTarget->height ? GL_NEAREST : GL_LINEAR;
  sceneTarget->setFilter(composeFilter);
  blurTarget->setFilter(composeFilter);

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
  blurTarget->bindColorTexture(1);
  sceneTarget->bindDepthTexture();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  sceneTarget->drawFullscreen();

  // Units 1 and 2 are the pipeline's own: nothing stays bound there.
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgramObjectARB(0);
}
