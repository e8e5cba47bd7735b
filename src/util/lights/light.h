#pragma once
// Light: one COLLADA light as fixed-function GL parameters. Point and
// directional lights differ only in the w of `position` (the loader sets
// it), so both take the same path; an ambient light sets the global
// ambient colour instead of a numbered light. The spot fields are GL's
// defaults and stay so: the library's lit shaders weigh no spot cone (only
// the fixed-function entry would).
#include <string>

class Light {
 public:
  enum Type { kPoint = 1, kDirectional = 2, kAmbient = 3 };

  // Point and directional: every parameter of GL_LIGHT0 + index, then enables
  // it. The position goes through the modelview matrix current now, so call
  // this after the view is set. Ambient: the global ambient colour; index is
  // unused and nothing is enabled. The matrix mode is left as it is.
  void apply(int index) const;

  std::string name;
  float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  float spotDirection[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  float ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float diffuse[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float specular[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float constantAttenuation = 1.0f;
  float linearAttenuation = 0.0f;
  float quadraticAttenuation = 0.0f;
  float spotCutoff = 180.0f;
  float spotExponent = 0.0f;
  int type = kPoint;
};
