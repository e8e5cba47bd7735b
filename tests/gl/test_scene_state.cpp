// The state reset really undoes what a scene left dirty, and the base view
// is the letterboxed 16:9 perspective.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/scene.h"

namespace {

class QuietScene : public Scene {
 public:
  void load() override {}
  void draw() override {}
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

}  // namespace
