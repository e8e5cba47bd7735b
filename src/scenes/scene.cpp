#include "scenes/scene.h"

#include "util/camera/projection.h"

#include <algorithm>

#include "util/error.h"
#include "util/letterbox.h"

void Scene::load() { FATAL_SHORT(); }

void Scene::draw(const FrameTime&) { FATAL_SHORT(); }

void Scene::resetState() {
  // The capabilities and the 1D binding below belong to the active texture
  // unit: start from unit 0, whatever unit the last scene left active.
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);

  const struct {
    GLenum capability;
    bool on;
  } flags[] = {
      {GL_BLEND, blend},           {GL_COLOR_MATERIAL, colorMaterial},
      {GL_CULL_FACE, cullFace},    {GL_DEPTH_TEST, depthTest},
      {GL_LIGHT0, lights[0]},      {GL_LIGHT1, lights[1]},
      {GL_LIGHT2, lights[2]},      {GL_LIGHT3, lights[3]},
      {GL_LIGHT4, lights[4]},      {GL_LIGHT5, lights[5]},
      {GL_LIGHT6, lights[6]},      {GL_LIGHT7, lights[7]},
      {GL_LIGHTING, lighting},     {GL_MULTISAMPLE, multisample},
      {GL_NORMALIZE, normalize},   {GL_TEXTURE_1D, texture1D},
      {GL_TEXTURE_2D, texture2D},  {GL_TEXTURE_CUBE_MAP, textureCubeMap},
  };
  for (const auto& flag : flags) {
    if (flag.on)
      glEnable(flag.capability);
    else
      glDisable(flag.capability);
  }

  glShadeModel(shadeModel);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);

  glBindTexture(GL_TEXTURE_1D, 0);
  for (GLenum unit = 0; unit < 6; ++unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);

  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glUseProgramObjectARB(0);

  resetLeftovers();
}

void Scene::resetLeftovers() {
  // What the driver has, asked once. Fixed-function texture units can be
  // fewer than the image units (four on some drivers): enabling texturing or
  // setting the environment past them is an error.
  static const struct Limits {
    GLint imageUnits, fixedUnits;
    GLenum colourBuffer;
  } limits = [] {
    GLint images = 1, units = 1, coords = 1;
    GLboolean doubleBuffered = GL_TRUE;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &images);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    glGetIntegerv(GL_MAX_TEXTURE_COORDS, &coords);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    GLint imageUnits = std::min(kTextureUnits, images);
    return Limits{imageUnits, std::min(imageUnits, std::min(units, coords)),
                  static_cast<GLenum>(doubleBuffered ? GL_BACK : GL_FRONT)};
  }();

  // Where the picture goes: the window's colour buffer, every channel, depth written.
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glDrawBuffer(limits.colourBuffer);
  glReadBuffer(limits.colourBuffer);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glBlendEquation(GL_FUNC_ADD);

  // Geometry.
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glLineWidth(1.0f);
  glPointSize(1.0f);

  // The current colour and the material parts that colour material leaves alone.
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);

  // No texture of any kind on any unit the scenes use, and on units above 0
  // no fixed-function texturing (unit 0 follows the flags).
  for (GLint unit = limits.imageUnits - 1; unit >= 0; --unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glBindTexture(GL_TEXTURE_1D, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    if (unit >= limits.fixedUnits) continue;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (unit > 0) {
      glDisable(GL_TEXTURE_1D);
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }

  // No vertex data from buffers or client arrays.
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
}

void Scene::beginFlat2D() const {
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glUseProgramObjectARB(0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  multiplyOrtho2D(0, viewWidth, 0, pictureHeight);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void Scene::beginCaption() const {
  glEnable(GL_COLOR_MATERIAL);
  for (int unit = 4; unit >= 0; --unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  beginFlat2D();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Scene::resizeView(int width, int height) {
  Viewport view = letterbox(width, height);
  aspect = kPictureAspect;
  viewWidth = width;
  viewHeight = height;
  pictureHeight = view.height;

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(view.x, view.y, view.width, view.height);
  multiplyPerspective(45.0, aspect, 0.1, 2000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
