#include "scenes/scene.h"

#include <GL/glu.h>

#include "util/error.h"
#include "util/letterbox.h"

void Scene::load() { FATAL_SHORT(); }

void Scene::draw() { FATAL_SHORT(); }

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
}

void Scene::beginFlat2D() const {
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glUseProgramObjectARB(0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, viewWidth, 0, pictureHeight);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
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
  gluPerspective(45.0, aspect, 0.1, 2000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
