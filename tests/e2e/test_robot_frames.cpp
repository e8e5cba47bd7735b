// The robots' slot at chosen beats (--frame): the code on the assembled
// robot's screen, the painter's trail, the flash to white.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "frames.h"

namespace {

class RobotFrames : public FramesTest<RobotFrames> {
 protected:
  static void SetUpTestSuite() {
    // The listing's thin letters need the larger picture.
    frames() = renderFrames({"354", "380"}, "640x360");
    for (auto& [beat, picture] : renderFrames({"391", "401", "449.95"})) frames()[beat] = picture;
  }

  // The code scroller's green letters.
  static double green(const Picture& p, double x0, double y0, double x1, double y1) {
    int hits = 0;
    int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) {
      hits += c[1] > 90 && c[0] < 80 && c[2] < 90 && c[1] > c[0] + 40;
    });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // Pale grey, unsaturated pixels: the painted trail on the blue glass.
  static double paint(const Picture& p) {
    int hits = 0;
    int n = p.each(0.3, 0.35, 0.8, 0.75, [&](const unsigned char* c) {
      const int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
      hits += (c[0] + c[1] + c[2]) / 3 > 60 && hi - lo < 40;
    });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
};

TEST_F(RobotFrames, TheAssembledRobotShowsTheCodeOnItsScreen) {
  // At 380 the view is its own camera: the chest screen in the middle.
  EXPECT_GT(green(frame("380"), 0.3, 0.5, 0.65, 0.85), 0.002);
  EXPECT_EQ(green(frame("380"), 0.75, 0.0, 1.0, 0.4), 0.0) << "green only on the screen";
  EXPECT_LT(frame("354").mean(), 2.0) << "the fade in from black";
}

TEST_F(RobotFrames, ThePainterLeavesATrailBehindIt) {
  // The painter's camera at 391 (it has just begun) and 401 (ten beats on).
  EXPECT_LT(paint(frame("391")), 0.006);
  EXPECT_GT(paint(frame("401")), 0.012);
}

TEST_F(RobotFrames, TheSceneEndsInAFlashToWhite) {
  // A quarter of the way through the 0.2-beat flash.
  EXPECT_GT(frame("449.95").mean(), 120.0);
}

}  // namespace
