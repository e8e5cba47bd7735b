#include "util/camera/camera.h"

#include <GL/glew.h>
#include "util/camera/projection.h"

#include "util/error.h"
#include "util/letterbox.h"

void Camera::copyFrom(const Camera& other) {
  xfov = other.xfov;
  yfov = other.yfov;
  znear = other.znear;
  zfar = other.zfar;
  view = other.view;
  focusPoint = other.focusPoint;
  focusRange = other.focusRange;
  focusFalloff = other.focusFalloff;
}

void Camera::lookAt(float eyeX, float eyeY, float eyeZ, float centerX, float centerY,
                    float centerZ, float upX, float upY, float upZ) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  multiplyLookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ);
  glGetFloatv(GL_MODELVIEW_MATRIX, view.data());
  glPopMatrix();
}

void Camera::apply(int windowWidth, int windowHeight) {
  if (windowHeight == 0) windowHeight = 1;
  Viewport picture = letterbox(windowWidth, windowHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(picture.x, picture.y, picture.width, picture.height);

  if (yfov < 0.0f) {
    if (xfov < 0.0f) FATAL("Camera %p got neither xfov nor yfov", static_cast<void*>(this));
    yfov = xfov * 0.5625f;
  }
  if (znear < 0.0f || zfar < 0.0f) FATAL("Invalid znear/zfar of %f/%f", znear, zfar);
  // The picture is always 16:9, whatever the window's shape.
  multiplyPerspective(yfov, static_cast<double>(kPictureAspect), znear, zfar);

  // Composed through the stack so a modelview set before apply is respected;
  // from the identity this leaves exactly `view` loaded.
  glMatrixMode(GL_MODELVIEW);
  glMultMatrixf(view.inverse().data());
  Matrix current;
  glGetFloatv(GL_MODELVIEW_MATRIX, current.data());
  glLoadMatrixf(current.inverse().data());
}

void Camera::blend(const Camera& from, const Camera& to, float t, Camera& out) {
  float s = 1.0f - t;
  out.view = Matrix::blend(from.view, to.view, t);
  out.yfov = from.yfov * s + to.yfov * t;
  out.znear = from.znear * s + to.znear * t;
  out.zfar = from.zfar * s + to.zfar * t;
}
