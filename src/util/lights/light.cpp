#include "util/lights/light.h"

#include <GL/glew.h>

#include "util/error.h"

void Light::apply(int index) const {
  if (type == kAmbient) {
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    return;
  }
  if (type != kPoint && type != kDirectional) FATAL("Urecognized light type %i", type);
  GLenum light = GL_LIGHT0 + index;
  glLightfv(light, GL_AMBIENT, ambient);
  glLightfv(light, GL_DIFFUSE, diffuse);
  glLightfv(light, GL_SPECULAR, specular);
  glLightfv(light, GL_POSITION, position);
  glLightfv(light, GL_SPOT_DIRECTION, spotDirection);
  glLightf(light, GL_SPOT_CUTOFF, spotCutoff);
  glLightf(light, GL_SPOT_EXPONENT, spotExponent);
  glLightf(light, GL_CONSTANT_ATTENUATION, constantAttenuation);
  glLightf(light, GL_LINEAR_ATTENUATION, linearAttenuation);
  glLightf(light, GL_QUADRATIC_ATTENUATION, quadraticAttenuation);
  glEnable(light);
}
