#include "scenes/translucent_floor.h"

#include <GL/glew.h>

#include "main_shaders.h"
#include "util/objects3d/prefabs.h"

void drawTranslucentFloor(const ShaderLibrary& shaders) {
  glColor4f(1.0f, 1.0f, 1.0f, 0.3f);
  glDisable(GL_TEXTURE_2D);
  shaders.single_material_notex->use();
  glDisable(GL_COLOR_MATERIAL);
  const GLfloat glass[4] = {0.0f, 0.5f, 1.0f, 0.3f};
  const GLfloat emission[4] = {0.0f, 0.0f, 0.0f, 0.3f};
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 20.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, glass);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, glass);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, glass);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
  drawQuad(-500.0f, -500.0f, 1000.0f, 1000.0f, 1.0f, true);
}
