#include "scenes/plywood_floor.h"

#include <GL/glew.h>

#include "main_shaders.h"
#include "util/objects3d/prefabs.h"
#include "util/texture/texture.h"

void drawPlywoodFloor(const ShaderLibrary& shaders, const Texture& floorTexture) {
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  for (int unit = 4; unit >= 1; --unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  floorTexture.bind();
  shaders.multi_material_tex->use();
  glDisable(GL_COLOR_MATERIAL);
  const GLfloat white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 0};
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 20.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);
  glPushMatrix();
  glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
  drawQuad(-500.0f, -500.0f, 1000.0f, 1000.0f, 50.0f, false);
  glPopMatrix();
}
