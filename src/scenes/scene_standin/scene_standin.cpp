#include "scenes/scene_standin/scene_standin.h"

void StandIn::draw() {
  GLint view[4];
  glGetIntegerv(GL_VIEWPORT, view);
  glScissor(view[0], view[1], view[2], view[3]);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(red_, green_, blue_, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}
