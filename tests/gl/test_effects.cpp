// The effects drawn in the shared window: the fader's colour over its
// window and what it leaves behind, the sky dome's shared cloud clock, its
// uniforms reaching the picture and the state it hands back.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "effects/effect.h"
#include "platform/messagebox.h"
#include "util/data/data.h"

namespace {

// Saves and restores everything a test or an effect may touch.
class EffectsGl : public ::testing::Test {
 protected:
  void SetUp() override {
    dataMode = kDataPlain;
    while (glGetError() != GL_NO_ERROR) {
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, 640, 360);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glUseProgram(0);
  }
  void TearDown() override {
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  static void clearTo(float r, float g, float b) {
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static void pixel(int x, int y, uint8_t rgba[4]) {
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }
  static int integer(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
  }
};

// The show's closing fade: black over beats 114 to 120.
Effects::Fader closingFade() { return Effects::Fader(114, 120, 0, 0, 0, 1, 0, 0, 0, 0); }

TEST(FaderColour, BlendsLinearlyInsideTheWindowOnly) {
  const Effects::Fader fader = closingFade();
  float c[4] = {-1, -1, -1, -1};
  ASSERT_TRUE(fader.colourAt(114, c));
  EXPECT_FLOAT_EQ(c[3], 1.0f);
  ASSERT_TRUE(fader.colourAt(117, c));
  EXPECT_FLOAT_EQ(c[3], 0.5f);
  EXPECT_FLOAT_EQ(c[0], 0.0f);
  ASSERT_TRUE(fader.colourAt(120, c));
  EXPECT_FLOAT_EQ(c[3], 0.0f);
  c[3] = 7;
  EXPECT_FALSE(fader.colourAt(113.9f, c));
  EXPECT_FALSE(fader.colourAt(120.1f, c));
  EXPECT_EQ(c[3], 7.0f);
}

TEST(FaderColour, EveryComponentFollowsItsOwnPair) {
  const Effects::Fader fader(0, 4, 1, 0, 0.5f, 0, 0, 1, 0.5f, 1);
  float c[4];
  ASSERT_TRUE(fader.colourAt(1, c));
  EXPECT_FLOAT_EQ(c[0], 0.75f);
  EXPECT_FLOAT_EQ(c[1], 0.25f);
  EXPECT_FLOAT_EQ(c[2], 0.5f);
  EXPECT_FLOAT_EQ(c[3], 0.25f);
}

TEST_F(EffectsGl, FaderCoversTheScreenBlendedOverWhatIsThere) {
  Effects::Fader fader = closingFade();
  glMatrixMode(GL_PROJECTION);
  glTranslatef(5, 5, 0);  // the fader must not depend on the scene's matrices
  glMatrixMode(GL_MODELVIEW);
  glScalef(0.01f, 0.01f, 1);
  clearTo(1, 1, 1);
  fader.draw(117);
  uint8_t corner[4], centre[4];
  pixel(0, 0, corner);
  pixel(320, 180, centre);
  EXPECT_NEAR(corner[0], 128, 2);
  EXPECT_NEAR(centre[1], 128, 2);

  clearTo(1, 1, 1);
  fader.draw(114);
  pixel(639, 359, corner);
  EXPECT_EQ(corner[0], 0);
}

TEST_F(EffectsGl, FaderLeavesItsStateForTheRestOfTheFrame) {
  Effects::Fader fader = closingFade();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);  // the fader must hand back the modelview
  fader.draw(115);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(integer(GL_BLEND_SRC_ALPHA), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST_ALPHA), GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_FLOAT_EQ(projection[0], 2.0f);  // gluOrtho2D(0, 1, 0, 1)
  EXPECT_FLOAT_EQ(projection[12], -1.0f);
}

TEST_F(EffectsGl, FaderPastItsWindowTouchesNothing) {
  Effects::Fader fader = closingFade();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glTranslatef(3, 0, 0);
  clearTo(0, 0, 1);
  fader.draw(120.1f);
  fader.draw(113.9f);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  float modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  EXPECT_FLOAT_EQ(modelview[12], 3.0f);
  uint8_t rgba[4];
  pixel(320, 180, rgba);
  EXPECT_EQ(rgba[2], 255);
}

class SkydomeGl : public EffectsGl {
 protected:
  // Looking straight up at the zenith from the dome's centre.
  static void lookUp() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 640.0 / 360.0, 0.01, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-90, 1, 0, 0);
  }
  static int brightness(const uint8_t rgba[4]) { return rgba[0] + rgba[1] + rgba[2]; }
};

TEST_F(SkydomeGl, LoadsTheUnitizedDomeAndItsDefaults) {
  Effects::Skydome sky;
  EXPECT_NEAR(sky.bbox[0], 2.0f, 1e-4f);  // a hemisphere: twice as wide as high
  EXPECT_NEAR(sky.bbox[1], 1.0f, 1e-4f);
  EXPECT_NEAR(sky.bbox[2], 2.0f, 1e-4f);
  EXPECT_EQ(sky.bbox[3], 0.0f);
  EXPECT_EQ(sky.model.format, static_cast<GLenum>(GL_T2F_N3F_V3F));
  EXPECT_EQ(sky.secondTexture, &sky.thunderTexture);
  EXPECT_NE(sky.cloudTexture.id, 0u);
  EXPECT_EQ(sky.cloudTexture.wrap, static_cast<GLenum>(GL_REPEAT));
  EXPECT_LT(sky.lastTime, 0.0f);
}

TEST_F(SkydomeGl, CloudTimeStartsOnTheSecondStepAndIsShared) {
  Effects::Skydome a;
  Effects::Skydome b;
  lookUp();
  const float t0 = Effects::Skydome::cloudTime;
  a.step(100);  // a first frame only takes its reference
  EXPECT_EQ(Effects::Skydome::cloudTime, t0);
  a.step(110);
  EXPECT_NEAR(Effects::Skydome::cloudTime - t0, 0.05f, 1e-5f);

  // Both domes of one frame move the one shared clock.
  b.step(110);
  const float t1 = Effects::Skydome::cloudTime;
  a.step(111);
  b.step(111);
  EXPECT_NEAR(Effects::Skydome::cloudTime - t1, 0.01f, 1e-5f);
  EXPECT_EQ(a.lastTime, 111.0f);
  // Drawing only reads it.
  const float t2 = Effects::Skydome::cloudTime;
  a.draw(150);
  EXPECT_EQ(Effects::Skydome::cloudTime, t2);
  EXPECT_EQ(a.lastTime, 111.0f);
}

TEST_F(SkydomeGl, DrawHandsBackItsState) {
  Effects::Skydome sky;
  lookUp();
  sky.scaleXZ = 3;
  float before[16], after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  glEnable(GL_DEPTH_TEST);
  glActiveTexture(GL_TEXTURE1);  // the dome must leave unit 0 active anyway
  sky.draw(1);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]) << i;
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
  glActiveTexture(GL_TEXTURE1);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<int>(sky.shader.program));
}

TEST_F(SkydomeGl, DaylightAndTheSecondTextureReachThePicture) {
  Effects::Skydome sky;
  lookUp();
  glEnable(GL_DEPTH_TEST);
  glClearDepth(0);  // a depth-tested dome would fail everywhere
  glClear(GL_DEPTH_BUFFER_BIT);

  clearTo(0, 0, 0);
  sky.draw(1);
  uint8_t day[4];
  pixel(320, 180, day);
  EXPECT_GT(brightness(day), 200);  // daylight sky overhead, drawn despite the depth test

  sky.daylight = 0;
  clearTo(0, 0, 0);
  sky.draw(1);
  uint8_t night[4];
  pixel(320, 180, night);
  EXPECT_EQ(brightness(night), 0);

  // A flash through the second texture lights up the night sky; a white
  // second texture makes that independent of where its bolts are.
  Texture white;
  white.createEmpty(4, 4, GL_RGBA8, false);
  white.fill(1, 1, 1, 1);
  sky.secondTexture = &white;
  sky.tex2Factor = 0.5f;
  clearTo(0, 0, 0);
  sky.draw(1);
  uint8_t flash[4];
  pixel(320, 180, flash);
  EXPECT_NEAR(flash[0], 128, 2);
  EXPECT_NEAR(flash[2], 128, 2);
  glClearDepth(1);
}

class EffectFatal : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setMessageBoxesEnabled(false);
  }
};

TEST_F(EffectFatal, DrawingThePlainEffectIsFatal) {
  Effects::Effect effect;
  EXPECT_EXIT(effect.draw(0), ::testing::ExitedWithCode(1),
              "Error in file src/effects/effect.cpp:[0-9]+");
}

TEST_F(EffectFatal, SkydomeWithoutItsMeshIsFatal) {
  dataMode = kDataPlain;
  EXPECT_EXIT(
      {
        // Run from elsewhere, so data/effects/skydome/ is not found.
        if (chdir("/") != 0) std::exit(3);
        Effects::Skydome sky;
      },
      ::testing::ExitedWithCode(1), "data/effects/skydome/");
}

}  // namespace
