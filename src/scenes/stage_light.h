#pragma once
// The 3D scenes' point light: grey ambient 0.3, white diffuse, a warm
// specular (1, 1, 0.5), constant attenuation 1 and the given linear and
// quadratic terms, at (x, y, z).
#include "util/lights/light.h"

inline void setStageLight(Light& light, float linear, float quadratic, float x, float y, float z) {
  const float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f}, diffuse[4] = {1, 1, 1, 1}, specular[4] = {1, 1, 0.5f, 1};
  for (int c = 0; c < 4; ++c) {
    light.ambient[c] = ambient[c];
    light.diffuse[c] = diffuse[c];
    light.specular[c] = specular[c];
  }
  light.constantAttenuation = 1.0f;
  light.linearAttenuation = linear;
  light.quadraticAttenuation = quadratic;
  light.position[0] = x;
  light.position[1] = y;
  light.position[2] = z;
}
