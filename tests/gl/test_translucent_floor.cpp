// The translucent floor lets a mirrored copy drawn beneath it show through,
// tinted towards its blue, and hides nothing above it.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "main_shaders.h"
#include "scenes/scene.h"
#include "scenes/translucent_floor.h"
#include "util/data/data.h"

namespace {

class Plain : public Scene {
 public:
  void load() override {}
  void draw(const FrameTime&) override {}
};

std::vector<int> pixel(int x, int y) {
  unsigned char rgba[4];
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return {rgba[0], rgba[1], rgba[2]};
}

// A red square at height z, seen from above.
void redSquare(float z) {
  glUseProgramObjectARB(0);
  glDisable(GL_LIGHTING);
  glColor4f(1, 0, 0, 1);
  glBegin(GL_QUADS);
  glVertex3f(-2, -2, z);
  glVertex3f(2, -2, z);
  glVertex3f(2, 2, z);
  glVertex3f(-2, 2, z);
  glEnd();
}

// A blending scene's state and view, looking straight down at the glass.
class TranslucentFloor : public ::testing::Test {
 protected:
  void SetUp() override {
    mode_ = dataMode;
    dataMode = kDataPlain;
    if (!shaders) shaders = new ShaderLibrary;
    scene.blend = true;
    scene.lighting = true;
    scene.resetState();
    scene.resizeView(640, 360);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gluLookAt(0, -0.01, 30, 0, 0, 0, 0, 0, 1);  // from straight above
  }
  void TearDown() override {
    scene.resetState();
    dataMode = mode_;
  }

  static ShaderLibrary* shaders;
  Plain scene;

 private:
  int mode_ = 0;
};

ShaderLibrary* TranslucentFloor::shaders = nullptr;

TEST_F(TranslucentFloor, TheMirroredCopyShowsThroughTintedAndWhatIsAboveStaysClear) {
  const GLfloat light[4] = {0, 0, 20, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, light);

  redSquare(-1.0f);  // the reflection, under the glass
  drawTranslucentFloor(*shaders);
  std::vector<int> reflected = pixel(320, 180);
  std::vector<int> glass = pixel(40, 180);
  EXPECT_GT(reflected[0], 120) << "the copy shows through";
  EXPECT_LT(reflected[0], 230) << "but dimmed by the glass";
  EXPECT_GT(reflected[2], glass[2] / 2) << "and tinted by its blue";
  EXPECT_GT(glass[2], glass[0] + 20) << "the glass alone is blue";
  EXPECT_LT(glass[2], 200) << "and translucent over black";

  redSquare(1.0f);  // the real thing, above the glass
  glEnable(GL_BLEND);
  std::vector<int> above = pixel(320, 180);
  EXPECT_EQ(above, (std::vector<int>{255, 0, 0}));
}

// The glass floor's passes: the scene mirrored in z first, the floor over
// it, then the scene itself, with the modelview as it was around each.
TEST_F(TranslucentFloor, TheSceneOnTheGlassIsDrawnMirroredThenAsItIs) {
  GLfloat before[16], after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  std::vector<bool> passes;
  std::vector<float> zScales;
  drawOnGlassFloor(*shaders, [&](bool mirrored) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    passes.push_back(mirrored);
    zScales.push_back(m[10] / before[10]);
    redSquare(1.0f);
  });
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  EXPECT_EQ(passes, (std::vector<bool>{true, false}));
  ASSERT_EQ(zScales.size(), 2u);
  EXPECT_FLOAT_EQ(zScales[0], -1.0f) << "turned over in z";
  EXPECT_FLOAT_EQ(zScales[1], 1.0f);
  EXPECT_TRUE(std::equal(before, before + 16, after));
  EXPECT_EQ(pixel(320, 180), (std::vector<int>{255, 0, 0})) << "the scene itself over the glass";
  EXPECT_GT(pixel(40, 180)[2], 0) << "the glass around it";
}

}  // namespace
