// The state reset really undoes what a scene left dirty, and the base view
// is the letterboxed 16:9 perspective.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scenes/scene.h"

namespace {

class QuietScene : public Scene {
 public:
  void load() override {}
  void draw(const FrameTime&) override {}
};

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// What a careless scene might leave behind.
void dirtyEverything() {
  glEnable(GL_BLEND);
  glDisable(GL_COLOR_MATERIAL);
  glEnable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHT0);
  glEnable(GL_LIGHT3);
  glEnable(GL_LIGHT7);
  glEnable(GL_LIGHTING);
  glDisable(GL_MULTISAMPLE);
  glDisable(GL_NORMALIZE);
  glEnable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_CUBE_MAP);
  glBlendFunc(GL_ONE, GL_ONE);
  glDepthFunc(GL_GREATER);
  glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
  glShadeModel(GL_FLAT);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
  const GLfloat ambient[4] = {1, 0, 0, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glColorMaterial(GL_FRONT, GL_EMISSION);

  GLuint textures[7];
  glGenTextures(7, textures);
  glBindTexture(GL_TEXTURE_1D, textures[6]);
  for (int unit = 0; unit < 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
  glActiveTexture(GL_TEXTURE3);

  GLuint arbProgram;
  glGenProgramsARB(1, &arbProgram);
  glEnable(GL_FRAGMENT_PROGRAM_ARB);
  glEnable(GL_VERTEX_PROGRAM_ARB);

  GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
  const char* source = "void main() { gl_FragColor = vec4(1.0); }";
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLuint program = glCreateProgram();
  glAttachShader(program, shader);
  glLinkProgram(program);
  glUseProgram(program);
  ASSERT_NE(integer(GL_CURRENT_PROGRAM), 0);
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SceneState, ResetRestoresTheDeclaredDefaults) {
  dirtyEverything();
  QuietScene scene;
  scene.resetState();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // On: depth test, colour material, light 0, multisampling, normalisation, 2D textures.
  for (GLenum on : {GL_COLOR_MATERIAL, GL_DEPTH_TEST, GL_LIGHT0, GL_MULTISAMPLE, GL_NORMALIZE,
                    GL_TEXTURE_2D})
    EXPECT_TRUE(glIsEnabled(on)) << std::hex << on;
  for (GLenum off : {GL_BLEND, GL_CULL_FACE, GL_LIGHT1, GL_LIGHT3, GL_LIGHT7, GL_LIGHTING,
                     GL_TEXTURE_1D, GL_TEXTURE_CUBE_MAP, GL_FRAGMENT_PROGRAM_ARB,
                     GL_VERTEX_PROGRAM_ARB})
    EXPECT_FALSE(glIsEnabled(off)) << std::hex << off;

  EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
  EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
  EXPECT_EQ(integer(GL_LIGHT_MODEL_TWO_SIDE), 1);
  EXPECT_EQ(integer(GL_LIGHT_MODEL_LOCAL_VIEWER), 1);
  EXPECT_EQ(integer(GL_LIGHT_MODEL_COLOR_CONTROL), GL_SEPARATE_SPECULAR_COLOR);
  EXPECT_EQ(integer(GL_COLOR_MATERIAL_FACE), GL_FRONT_AND_BACK);
  EXPECT_EQ(integer(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
  EXPECT_EQ(integer(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);

  GLfloat clear[4], ambient[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(clear[i], 0.0f);
    EXPECT_FLOAT_EQ(ambient[i], i < 3 ? 0.2f : 1.0f);
  }

  // No texture, shader or program survives into the next scene.
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_1D), 0);
  for (int unit = 0; unit < 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0) << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
}

// Leaves behind, the way a careless draw might, everything the reset must
// undo beyond the declared flags: drawn after it without a reset, the plain
// scene below would show nothing at all.
class MessyScene : public QuietScene {
 public:
  ~MessyScene() override {
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteTextures(2, textures_);
    glDeleteProgram(program_);
    glDeleteShader(shader_);
  }
  void draw(const FrameTime&) override {
    glGenTextures(2, textures_);
    const GLubyte black[4] = {0, 0, 0, 255};
    for (int unit : {1, 0}) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, textures_[unit]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
      glEnable(GL_TEXTURE_2D);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
    glGenFramebuffersEXT(1, &framebuffer_);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              textures_[0], 0);
    shader_ = glCreateShader(GL_FRAGMENT_SHADER);
    const char* source = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }";
    glShaderSource(shader_, 1, &source, nullptr);
    glCompileShader(shader_);
    program_ = glCreateProgram();
    glAttachShader(program_, shader_);
    glLinkProgram(program_);
    glUseProgram(program_);

    glLineWidth(7.0f);
    glPointSize(5.0f);
    glColor4f(1.0f, 0.0f, 0.0f, 0.0f);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NEVER, 0, 0);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_NEVER, 0.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glCullFace(GL_FRONT_AND_BACK);
    glFrontFace(GL_CW);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    const GLfloat shiny[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, shiny);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE1);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glActiveTexture(GL_TEXTURE4);
  }

 private:
  GLuint textures_[2] = {};
  GLuint framebuffer_ = 0, shader_ = 0, program_ = 0;
};

// Blended and culled by its declared defaults, depth-tested: a white square
// (the current colour) in front of a larger blue one drawn after it, and a
// red line across the lower part of the picture.
class PlainScene : public QuietScene {
 public:
  PlainScene() {
    blend = true;
    cullFace = true;
  }
  void draw(const FrameTime&) override {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    square(0.4f, 0.6f, 0.5f);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    square(0.2f, 0.8f, -0.5f);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex3f(0.05f, 0.1f, 0.9f);
    glVertex3f(0.95f, 0.1f, 0.9f);
    glEnd();
  }

 private:
  static void square(float from, float to, float z) {  // counter-clockwise: a front face
    glBegin(GL_QUADS);
    glVertex3f(from, from, z);
    glVertex3f(to, from, z);
    glVertex3f(to, to, z);
    glVertex3f(from, to, z);
    glEnd();
  }
};

TEST(SceneState, TheNextScenesPictureIsUntouchedByWhatTheLastLeftBehind) {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glViewport(0, 0, 640, 360);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  MessyScene messy;
  PlainScene plain;
  for (Scene* scene : {static_cast<Scene*>(&messy), static_cast<Scene*>(&plain)}) {
    scene->resetState();
    scene->resizeView(640, 360);  // 640 x 360: the picture fills the window
    scene->draw(FrameTime{});
  }
  glFinish();
  auto pixel = [](int x, int y) {
    GLubyte rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return std::vector<int>{rgba[0], rgba[1], rgba[2]};
  };
  QuietScene().resetState();  // reads from the window's back buffer

  EXPECT_EQ(pixel(320, 180), (std::vector<int>{255, 255, 255})) << "the white square in front";
  EXPECT_EQ(pixel(170, 100), (std::vector<int>{0, 0, 255})) << "the blue one around it";
  EXPECT_EQ(pixel(40, 180), (std::vector<int>{0, 0, 0})) << "nothing outside";
  int redRows = 0;
  for (int y = 20; y < 60; ++y) redRows += pixel(320, y) == std::vector<int>{255, 0, 0};
  EXPECT_EQ(redRows, 1) << "a line one pixel wide";
}

TEST(SceneState, ResetUndoesWhatNoFlagDeclares) {
  MessyScene messy;
  messy.resetState();
  messy.draw(FrameTime{});
  QuietScene scene;
  scene.resetState();

  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_BACK);
  EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  for (GLboolean channel : mask) EXPECT_TRUE(channel);
  for (GLenum off : {GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST, GL_POLYGON_OFFSET_FILL,
                     GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY})
    EXPECT_FALSE(glIsEnabled(off)) << std::hex << off;
  EXPECT_EQ(integer(GL_BLEND_EQUATION), GL_FUNC_ADD);
  EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_EQ(integer(GL_FRONT_FACE), GL_CCW);
  GLint polygonMode[2];
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_EQ(polygonMode[1], GL_FILL);
  GLfloat width = 0, size = 0, colour[4], emission[4];
  glGetFloatv(GL_LINE_WIDTH, &width);
  glGetFloatv(GL_POINT_SIZE, &size);
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
  EXPECT_EQ(width, 1.0f);
  EXPECT_EQ(size, 1.0f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(colour[i], 1.0f);
    EXPECT_EQ(emission[i], i < 3 ? 0.0f : 1.0f);
  }
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
  for (int unit = 0; unit < Scene::kTextureUnits; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glClientActiveTexture(GL_TEXTURE0 + unit);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0) << "unit " << unit;
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_CUBE_MAP), 0) << "unit " << unit;
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE) << "unit " << unit;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << "unit " << unit;
    if (unit > 0) {
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << unit;
    }
  }
  glActiveTexture(GL_TEXTURE0);
  glClientActiveTexture(GL_TEXTURE0);
}

TEST(SceneState, ADerivedSceneDeclaresItsOwnStart) {
  class Lit : public QuietScene {
   public:
    Lit() {
      shadeModel = GL_FLAT;
      lighting = true;
      cullFace = true;
      lights[2] = true;
      texture2D = false;
    }
  } scene;
  glDisable(GL_LIGHTING);
  scene.resetState();
  EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  // The next scene gets its own defaults back.
  QuietScene plain;
  plain.resetState();
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(SceneView, BaseViewIsTheLetterboxedPerspective) {
  QuietScene scene;
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);  // left over from someone's draw
  scene.resizeView(1280, 1024);
  EXPECT_EQ(scene.viewWidth, 1280);
  EXPECT_EQ(scene.viewHeight, 1024);
  EXPECT_EQ(scene.pictureHeight, 720);
  EXPECT_FLOAT_EQ(scene.aspect, 16.0f / 9.0f);

  GLint view[4];
  glGetIntegerv(GL_VIEWPORT, view);
  EXPECT_EQ(view[0], 0);
  EXPECT_EQ(view[1], 152);
  EXPECT_EQ(view[2], 1280);
  EXPECT_EQ(view[3], 720);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);

  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  const float focal = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);  // 45 degrees vertical
  EXPECT_NEAR(projection[5], focal, 1e-4);
  EXPECT_NEAR(projection[0], focal / (16.0f / 9.0f), 1e-4);
  EXPECT_NEAR(projection[10], -(2000.0f + 0.1f) / (2000.0f - 0.1f), 1e-4);  // near 0.1, far 2000
  EXPECT_NEAR(projection[14], -2.0f * 2000.0f * 0.1f / (2000.0f - 0.1f), 1e-4);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], i % 5 == 0 ? 1.0f : 0.0f);
}


// A red triangle over the middle of the window, wound counter-clockwise in
// model space (its front faces the eye).
void redTriangle() {
  glColor3f(1, 0, 0);
  glBegin(GL_TRIANGLES);
  glVertex2f(-0.5f, -0.5f);
  glVertex2f(0.5f, -0.5f);
  glVertex2f(0.0f, 0.5f);
  glEnd();
}

// The red triangle on a cleared window, then the centre pixel's red.
int drawnFacingTriangle(bool mirror) {
  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (mirror) glScalef(-1.0f, 1.0f, 1.0f);  // a reflection turns every face over
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glFrontFace(GL_CCW);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  redTriangle();
  unsigned char rgba[4] = {};
  glReadPixels(320, 180, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return rgba[0];
}

TEST(SceneState, BackFaceCullingKeepsTheFacesTurnedToTheEyeAlsoInAReflection) {
  {
    BackFaceCulling culling;
    EXPECT_EQ(drawnFacingTriangle(false), 255);
  }
  {
    // Mirrored, the model's front face is wound the other way on screen.
    BackFaceCulling culling(true);
    EXPECT_EQ(drawnFacingTriangle(true), 255);
  }
  {
    BackFaceCulling culling;
    EXPECT_EQ(drawnFacingTriangle(true), 0) << "a reflection culled as if direct loses its fronts";
  }
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  GLint mode = 0;
  glGetIntegerv(GL_CULL_FACE_MODE, &mode);
  EXPECT_EQ(mode, GL_BACK);
  glLoadIdentity();
}

TEST(SceneState, UnseenDrawsReachNoPixelAndLeaveTheScissorAsItWas) {
  glScissor(10, 20, 300, 200);
  drawnFacingTriangle(false);  // the view and state of the triangle
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  {
    UnseenDraws unseen;
    redTriangle();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char rgba[4] = {};
    glReadPixels(320, 180, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(rgba[0], 0);
    EXPECT_EQ(rgba[2], 0);
  }
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  GLint box[4] = {};
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(box[0], 10);
  EXPECT_EQ(box[1], 20);
  EXPECT_EQ(box[2], 300);
  EXPECT_EQ(box[3], 200);
  EXPECT_EQ(drawnFacingTriangle(false), 255) << "drawing after them reaches the picture again";
  glScissor(0, 0, 640, 360);
}

}  // namespace
