// The robots' slot at chosen beats (--frame): a lit stage in every frame
// (the curtain round it, the glass floor and what it reflects), the code on
// the assembled robot's screen, the painter's trail, the flash to white.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "frames.h"

namespace {

// Every channel below 16: black to the eye.
bool nearBlack(const unsigned char* c) { return c[0] < 16 && c[1] < 16 && c[2] < 16; }

class RobotFrames : public FramesTest<RobotFrames> {
 protected:
  static void SetUpTestSuite() {
    // The listing's thin letters and the painter's thin trail need the larger picture.
    frames() = renderFrames({"354", "380", "391", "401"}, "640x360");
    // One frame a camera: the assembled robot's, the painter's, the banjo
    // player's (the four together), the camera robot's; the flash.
    for (auto& [beat, picture] : renderFrames({"362", "396", "410", "442", "449.95"})) frames()[beat] = picture;
  }

  static double shareOf(const Picture& p, double x0, double y0, double x1, double y1,
                        bool (*test)(const unsigned char*)) {
    int hits = 0;
    int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) { hits += test(c); });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // The code scroller's green letters.
  static double green(const Picture& p, double x0, double y0, double x1, double y1) {
    return shareOf(p, x0, y0, x1, y1, [](const unsigned char* c) {
      return c[1] > 90 && c[0] < 80 && c[2] < 90 && c[1] > c[0] + 40;
    });
  }
  // Bright, unsaturated pixels round the painter: its white trail.
  static double paint(const Picture& p) {
    return shareOf(p, 0.42, 0.4, 0.7, 0.68, [](const unsigned char* c) {
      const int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
      return lo > 160 && hi - lo < 30;
    });
  }
};

TEST_F(RobotFrames, TheStageReadsInEveryFrame) {
  for (const char* beat : {"362", "396", "410", "442"}) {
    const Picture& p = frame(beat);
    EXPECT_LT(shareOf(p, 0, 0, 1, 1, nearBlack), 0.05) << beat << ": no black void round the robots";
    // The curtain behind: lit velvet, red above blue, across the upper half.
    int warm = 0;
    int n = p.each(0.0, 0.1, 1.0, 0.45, [&](const unsigned char* c) { warm += c[0] > 60 && c[0] > c[2]; });
    EXPECT_GT(static_cast<double>(warm) / n, 0.15) << beat << ": the curtain";
  }
  // The glass floor under the painter's camera: blue glass, not black.
  int blue = 0;
  int n = frame("396").each(0.3, 0.85, 0.7, 1.0, [&](const unsigned char* c) { blue += c[2] > 30 && c[2] > c[0]; });
  EXPECT_GT(static_cast<double>(blue) / n, 0.8) << "the floor";
}

TEST_F(RobotFrames, TheAssembledRobotShowsTheCodeOnItsScreen) {
  // At 380 the view is its own camera: the chest screen right of the middle,
  // clear of the categories at the upper left.
  EXPECT_GT(green(frame("380"), 0.55, 0.4, 0.85, 0.95), 0.002);
  EXPECT_EQ(green(frame("380"), 0.0, 0.0, 0.5, 0.4), 0.0) << "green only on the screen";
  EXPECT_LT(frame("354").mean(), 2.0) << "the fade in from black";
}

TEST_F(RobotFrames, ThePainterLeavesATrailBehindIt) {
  // The painter's camera at 391 (it has just begun) and 401 (ten beats on).
  EXPECT_LT(paint(frame("391")), 0.032);
  EXPECT_GT(paint(frame("401")), 0.04);
}

TEST_F(RobotFrames, TheSceneEndsInAFlashToWhite) {
  // A quarter of the way through the 0.2-beat flash.
  EXPECT_GT(frame("449.95").mean(), 120.0);
}

}  // namespace
