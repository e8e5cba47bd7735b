#pragma once
// Camera: the optics and view of a 3D scene for the fixed-function pipeline.
// Cameras come from COLLADA files (optics plus the inverse of their node's
// world transform) or from lookAt; scenes keep them by value, blend between
// two and apply the result once per frame, which also sets the show's
// letterboxed 16:9 viewport.
#include <string>

#include "util/objects3d/matrix.h"

class Camera {
 public:
  Camera() = default;
  // A copy takes every field but the name: a scene's working camera keeps
  // its own name whatever it is set from.
  Camera(const Camera& other) { copyFrom(other); }
  Camera& operator=(const Camera& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }

  // Builds `view` with multiplyLookAt on the modelview stack (pushed and popped),
  // so it needs a current GL context.
  void lookAt(float eyeX, float eyeY, float eyeZ, float centerX, float centerY, float centerZ,
              float upX, float upY, float upZ);

  // Viewport (16:9, full width, centred), projection (fixed 16:9 aspect) and
  // view; leaves the modelview matrix selected. Needs a vertical or a
  // horizontal field of view and a non-negative znear and zfar; when only
  // xfov is given, yfov is derived from it and kept.
  void apply(int windowWidth, int windowHeight);

  // out.view, yfov, znear and zfar blended linearly, element by element;
  // out's name, xfov and focus values are left alone. out may be from or to.
  static void blend(const Camera& from, const Camera& to, float t, Camera& out);

  std::string name;
  float xfov = -1.0f;  // degrees; negative: not given
  float yfov = -1.0f;  // degrees; negative: not given
  float znear = -1.0f;
  float zfar = -1.0f;
  Matrix view;  // world to eye
  // Depth of field, for the scenes whose compose pass reads them.
  float focusPoint = -1.0f;
  float focusRange = -1.0f;
  float focusFalloff = -1.0f;

 private:
  void copyFrom(const Camera& other);
};
