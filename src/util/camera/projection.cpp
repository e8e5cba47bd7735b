#include "util/camera/projection.h"

#include <GL/glew.h>

#include <cmath>

namespace {

void normalize(float v[3]) {
  float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (r == 0.0f) return;
  v[0] /= r;
  v[1] /= r;
  v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

Matrix4d perspectiveMatrix(double fovy, double aspect, double zNear, double zFar) {
  Matrix4d m{};
  double radians = fovy / 2 * M_PI / 180;
  double deltaZ = zFar - zNear;
  double sine = std::sin(radians);
  // A degenerate frustum leaves the matrix alone (the identity).
  if (deltaZ == 0 || sine == 0 || aspect == 0) {
    m[0] = m[5] = m[10] = m[15] = 1;
    return m;
  }
  double cotangent = std::cos(radians) / sine;
  m[0] = cotangent / aspect;
  m[5] = cotangent;
  m[10] = -(zFar + zNear) / deltaZ;
  m[11] = -1;
  m[14] = -2 * zNear * zFar / deltaZ;
  return m;
}

Matrix4f lookAtRotation(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                        double centerZ, double upX, double upY, double upZ) {
  float forward[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                      static_cast<float>(centerZ - eyeZ)};
  float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
  float side[3];
  normalize(forward);
  cross(forward, up, side);
  normalize(side);
  cross(side, forward, up);
  Matrix4f m{};
  for (int i = 0; i < 3; ++i) {
    m[4 * i + 0] = side[i];
    m[4 * i + 1] = up[i];
    m[4 * i + 2] = -forward[i];
  }
  m[15] = 1.0f;
  return m;
}

void multiplyPerspective(double fovy, double aspect, double zNear, double zFar) {
  glMultMatrixd(perspectiveMatrix(fovy, aspect, zNear, zFar).data());
}

void multiplyLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                    double centerZ, double upX, double upY, double upZ) {
  glMultMatrixf(lookAtRotation(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ).data());
  glTranslated(-eyeX, -eyeY, -eyeZ);
}

void multiplyOrtho2D(double left, double right, double bottom, double top) {
  glOrtho(left, right, bottom, top, -1.0, 1.0);
}
