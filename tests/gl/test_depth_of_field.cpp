// The depth-of-field pipeline: what lies at the camera's focus point stays
// sharp, what lies far beyond its range and falloff is blurred, and the
// composed picture lands over what the framebuffer already held.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "main_shaders.h"
#include "scenes/depth_of_field.h"
#include "scenes/scene.h"
#include "scenes/translucent_floor.h"
#include "util/camera/camera.h"
#include "util/data/data.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;

// A white upright rectangle at eye distance `distance`, from x0 to x1 and y0
// to y1 in eye units (the modelview is the identity).
void rectangle(float x0, float x1, float y0, float y1, float distance) {
  glBegin(GL_QUADS);
  glVertex3f(x0, y0, -distance);
  glVertex3f(x1, y0, -distance);
  glVertex3f(x1, y1, -distance);
  glVertex3f(x0, y1, -distance);
  glEnd();
}

// Grey levels of one window row.
std::vector<int> row(int y) {
  std::vector<unsigned char> rgba(kWidth * 4);
  glReadPixels(0, y, kWidth, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::vector<int> grey(kWidth);
  for (int x = 0; x < kWidth; ++x) grey[x] = (rgba[x * 4] + rgba[x * 4 + 1] + rgba[x * 4 + 2]) / 3;
  return grey;
}

// Pixels of a row section that are neither dark nor bright: an edge's width.
int inBetween(const std::vector<int>& grey, int from, int to) {
  int n = 0;
  for (int x = from; x < to; ++x) n += grey[x] > 25 && grey[x] < 230;
  return n;
}

// The pipeline at the window's size, a camera focused at 10 (sharp from 8
// to 12, fully blurred beyond 15), the window cleared to `background` with
// the camera's projection, the scenes' blending and nothing else on.
class DepthOfFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mode_ = dataMode;
    dataMode = kDataPlain;  // the shader sources from the repository's tree
    if (!shaders) shaders = new ShaderLibrary;
    pipeline.resize(kWidth, kHeight);
    camera.znear = 0.5f;
    camera.zfar = 200.0f;
    camera.focusPoint = 10.0f;
    camera.focusRange = 2.0f;
    camera.focusFalloff = 3.0f;
  }
  void TearDown() override {
    // What the pipeline leaves, the Demo resets before the next scene's
    // draw; so do the tests after this one.
    Scene::resetLeftovers();
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    dataMode = mode_;
  }
  void clearWindow(float r, float g, float b, float a) const {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 16.0 / 9.0, camera.znear, camera.zfar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
  }

  static inline ShaderLibrary* shaders = nullptr;
  DepthOfField pipeline;
  Camera camera;

 private:
  int mode_ = 0;
};

TEST_F(DepthOfFieldTest, SharpAtTheFocusPointBlurredFarBeyondIt) {
  EXPECT_EQ(pipeline.sceneTarget->width, kWidth);
  EXPECT_EQ(pipeline.acrossTarget->height, kHeight);
  ASSERT_TRUE(pipeline.sceneTarget->depthTexture) << "type 4: the depth as a texture";
  clearWindow(0, 0, 0, 0);

  // In focus on the left, 40 units away (beyond 10 + 2 + 3) on the right.
  pipeline.render(*shaders, camera, [] {
    glColor4f(1, 1, 1, 1);
    rectangle(-6.0f, -1.0f, -2.0f, 2.0f, 10.0f);
    rectangle(4.0f, 24.0f, -8.0f, 8.0f, 40.0f);
  });
  glFinish();
  std::vector<int> middle = row(kHeight / 2);

  // The near rectangle's right edge lies near x = 0.41 of the width, the far
  // one's left edge near 0.60: look at a window around each.
  int nearEdge = 0, farEdge = 0;
  for (int x = 1; x < kWidth / 2; ++x)
    if (middle[x - 1] >= 128 && middle[x] < 128) nearEdge = x;
  for (int x = kWidth / 2; x < kWidth; ++x)
    if (middle[x - 1] < 128 && middle[x] >= 128 && !farEdge) farEdge = x;
  ASSERT_GT(nearEdge, 0);
  ASSERT_GT(farEdge, 0);
  EXPECT_LE(inBetween(middle, nearEdge - 15, nearEdge + 15), 1) << "in focus: a hard edge, no halo";
  // Over the empty target the blur softens the edge inwards only: it never
  // spreads colour where the content leaves nothing.
  EXPECT_GE(inBetween(middle, farEdge - 15, farEdge + 15), 4) << "out of focus: a soft edge";
  EXPECT_LT(middle[farEdge - 3], 25) << "nothing spread outside the blurred rectangle";
  EXPECT_GT(middle[nearEdge - 20], 240) << "the sharp rectangle keeps its full white";
  EXPECT_GT(middle[farEdge + 40], 200) << "the blurred one inside its edges too";
  EXPECT_LT(middle[kWidth / 2], 25) << "nothing in between";
  for (int x = nearEdge + 1; x < nearEdge + 15; ++x) EXPECT_LT(middle[x], 25) << "a halo at " << x;
}

}  // namespace

// Translucent content over the empty target (the robots' glass floor where
// nothing stands on it) lands over the framebuffer at exactly its alpha,
// sharp or blurred; opaque content covers it.
TEST_F(DepthOfFieldTest, TranslucentContentLandsAtItsOwnAlpha) {
  clearWindow(0.0f, 0.0f, 1.0f, 1.0f);  // what was drawn before: blue

  // Left: 30 % white in focus; right: 30 % white far out of focus, with an
  // opaque white square in front of the middle of it.
  pipeline.render(*shaders, camera, [] {
    glColor4f(1, 1, 1, 0.3f);
    rectangle(-9.0f, -1.0f, -4.0f, 4.0f, 10.0f);
    glColor4f(1, 1, 1, 0.3f);
    rectangle(4.0f, 40.0f, -20.0f, 20.0f, 40.0f);
    glColor4f(1, 1, 1, 1);
    rectangle(1.0f, 3.0f, -0.5f, 0.5f, 10.0f);
  });
  glFinish();
  std::vector<unsigned char> rgba(kWidth * 4);
  glReadPixels(0, kHeight / 2, kWidth, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  auto at = [&](double x, int channel) { return static_cast<int>(rgba[static_cast<int>(x * kWidth) * 4 + channel]); };
  // 0.3 white + 0.7 blue.
  for (double x : {0.25, 0.85}) {
    EXPECT_NEAR(at(x, 0), 77, 4) << x;
    EXPECT_NEAR(at(x, 2), 255, 2) << x;
  }
  EXPECT_EQ(at(0.5, 0), 0) << "the empty middle shows the blue alone";
  EXPECT_GT(at(0.635, 0), 240) << "the opaque square covers";
}

namespace {

// A white wall standing on the glass floor at y = 0, from x = -3 to 3 and
// z = 0 to 4, seen from above the floor in front of it: unlit, opaque.
void wall() {
  glUseProgramObjectARB(0);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glVertex3f(-3, 0, 0);
  glVertex3f(3, 0, 0);
  glVertex3f(3, 0, 4);
  glVertex3f(-3, 0, 4);
  glEnd();
}

// Red of every row of the window's middle column, bottom first.
std::vector<int> middleColumn() {
  std::vector<int> red(kHeight);
  for (int y = 0; y < kHeight; ++y) {
    unsigned char rgba[4];
    glReadPixels(kWidth / 2, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    red[y] = rgba[0];
  }
  return red;
}

}  // namespace

// A software renderer draws the reflection at half the size each way and
// lays it into the sharp picture before the floor: the same picture, a
// little coarser, and where the wall meets its reflection no pixel between
// them is left dark.
TEST_F(DepthOfFieldTest, AReflectionDrawnSmallerMeetsTheContentWithoutAGap) {
  DepthOfField::setReflectionDivisor(2);
  DepthOfField halved;
  DepthOfField::setReflectionDivisor(1);
  ASSERT_TRUE(halved.reflectionTarget);
  halved.resize(kWidth, kHeight);
  EXPECT_EQ(halved.reflectionTarget->width, kWidth / 2);
  EXPECT_EQ(halved.reflectionTarget->height, kHeight / 2);
  EXPECT_FALSE(pipeline.reflectionTarget) << "made before the divisor: in the sharp picture";

  camera.focusPoint = 20.0f;
  camera.focusRange = 100.0f;  // everything sharp: the pictures compare pixel by pixel
  std::vector<int> columns[2];
  for (int k = 0; k < 2; ++k) {
    clearWindow(0, 0, 0, 0);
    gluLookAt(0, -20, 3, 0, 0, 1, 0, 0, 1);
    glPushAttrib(GL_LIGHTING_BIT);  // the tests after this one light with GL's defaults
    const GLfloat light[4] = {0, -10, 20, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    DepthOfField& dof = k == 0 ? pipeline : halved;
    dof.renderOnGlassFloor(*shaders, camera, [](bool) { wall(); });
    glPopAttrib();
    glFinish();
    columns[k] = middleColumn();
  }
  // The wall's base: the lowest white row of the full-size picture; the
  // reflection's far edge: the lowest row it shows in.
  int base = -1, far = -1;
  for (int y = kHeight - 1; y > 0; --y)
    if (columns[0][y] > 240 && columns[0][y - 1] <= 240) base = y;
  for (int y = base - 1; y > 0; --y)
    if (columns[0][y] > 60 && columns[0][y - 1] <= 60) far = y;
  ASSERT_GT(base, 20);
  ASSERT_GT(far, 0);
  ASSERT_LT(far, base - 20) << "the reflection shows below the base";
  // Where wall and reflection meet, nothing dark in between.
  for (int y = base - 12; y < base + 12; ++y)
    EXPECT_NEAR(columns[1][y], columns[0][y], 40) << "row " << y << " (base " << base << ")";
  // Elsewhere the same but for the reflection's outer edge, which the
  // halved picture moves by up to two rows.
  for (int y = 0; y < kHeight; ++y) {
    const bool nearAnEdge = std::abs(y - far) <= 3 || (y >= base - 12 && y < base + 12);
    if (!nearAnEdge) {
      EXPECT_NEAR(columns[1][y], columns[0][y], 8) << "row " << y;
    }
  }
}
