#include "scenes/scene_standin/scene_standin.h"

#include "util/fbo/fbo.h"

void StandIn::draw() {
  GLint view[4];
  glGetIntegerv(GL_VIEWPORT, view);
  glScissor(view[0], view[1], view[2], view[3]);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(red_, green_, blue_, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  if (!showsRenderTarget_ || !renderTarget || renderTarget->colorTextures.empty()) return;
  // The middle 70 % of the picture, at the target's own proportions.
  const Texture& screen = *renderTarget->colorTextures[0];
  const float width = 0.7f;
  const float height = width * aspect / screen.aspect();
  glDisable(GL_BLEND);
  glDisable(GL_LIGHTING);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  drawTexture(screen, 0.5f * (1.0f - width), 0.5f * (1.0f - height), width, height);
}
