// The clown's slot at chosen beats (--frame): the fades, the finished
// figure in its room, and the credits.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "frames.h"

namespace {

class ClownFrames : public FramesTest<ClownFrames> {
 protected:
  static void SetUpTestSuite() {
    frames() = renderFrames({"258", "268", "275", "290", "310", "322", "325", "330", "350", "353.9"});
  }

  // Pixels of the toy's lacquer: bright and strongly saturated colours,
  // which the pale plywood floor does not have.
  static double lacquer(const Picture& p, double x0, double y0, double x1, double y1) {
    int hits = 0;
    int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) {
      const int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
      hits += hi > 120 && hi - lo > 0.55 * hi;
    });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // Unlit background in the picture's top third: what no wall closes.
  static double voidAbove(const Picture& p) {
    return p.share(0, 0, 1, 1.0 / 3, [](double g) { return g < 16; });
  }
  // Share of a rectangle's pixels with every channel below 16.
  static double nearBlack(const Picture& p, double x0, double y0, double x1, double y1) {
    int dark = 0;
    const int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) { dark += std::max({c[0], c[1], c[2]}) < 16; });
    return n ? static_cast<double>(dark) / n : 1.0;
  }
  // Warm painted wall in the top third: lit, reddish and not white.
  static double warmWall(const Picture& p) {
    int hits = 0;
    int n = p.each(0, 0, 1, 1.0 / 3, [&](const unsigned char* c) {
      const double g = (c[0] + c[1] + c[2]) / 3.0;
      hits += g > 60 && g < 235 && c[0] > c[2] + 25;
    });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // White caption pixels in a band of the upper left, y from the top.
  static double caption(const Picture& p, double y0, double y1) {
    return p.share(0.04, y0, 0.6, y1, [](double g) { return g > 235; });
  }
};

TEST_F(ClownFrames, FadesInFromBlackAndOutToBlack) {
  EXPECT_LT(frame("258").mean(), 2.0);
  EXPECT_LT(frame("353.9").mean(), 8.0) << "a tenth of a beat before the end";
  EXPECT_GT(frame("325").mean(), 30.0) << "a lit toy room in between";
}

TEST_F(ClownFrames, TheCompleteClownStandsInItsToyRoomAfterTheSeventhBell) {
  // (Which part lies where is the scene's GL test; here the picture as a
  // whole: the toy's lacquer and the room's furniture in a lit picture.)
  EXPECT_GT(lacquer(frame("325"), 0, 0, 1, 1), 0.03);
  EXPECT_GT(frame("325").mean(0, 0.6, 1, 1), 100.0) << "the lit plywood floor";
}

TEST_F(ClownFrames, WallsCloseTheRoomAboveTheFloorsHorizon) {
  // The last view (far plane 1000) sees the back of the room: walls, the
  // cupboard and the window, no background left (without the room 0.3).
  EXPECT_LT(voidAbove(frame("350")), 0.03);
  EXPECT_GT(warmWall(frame("350")), 0.2) << "the apricot walls";
  // The near cameras see no farther than 100: the room lies within that,
  // so the walls close their views too (without the room 0.42 of the top
  // third, with walls beyond their reach 0.1).
  EXPECT_LT(voidAbove(frame("325")), 0.04);
  EXPECT_GT(warmWall(frame("325")), 0.22);
}

TEST_F(ClownFrames, NoWallLiesBeyondTheNearCamerasFarPlane) {
  // What lies beyond a camera's far plane is clipped to black: with the
  // walls out of reach, black patches stood behind the table in the upper
  // right (6 to 23 % of that quarter) and filled a fifth of the middle band
  // under camera 0. What stays dark is the horse's hooves and the credits'
  // shadows.
  for (const char* beat : {"290", "310", "322", "330"}) {
    const Picture& p = frame(beat);
    EXPECT_LT(nearBlack(p, 0.45, 0, 1, 0.5), 0.02) << "upper right at beat " << beat;
    EXPECT_LT(nearBlack(p, 0, 0, 1, 1.0 / 3), 0.04) << "top third at beat " << beat;
    EXPECT_LT(nearBlack(p, 0, 0.15, 1, 0.6), 0.03) << "middle band at beat " << beat;
  }
}

TEST_F(ClownFrames, ARoleAndItsMakersHandleStandAtTheUpperLeft) {
  const Picture& credits = frame("275");
  EXPECT_GT(caption(credits, 0.0, 0.16), 0.02) << "the role";
  EXPECT_GT(caption(credits, 0.16, 0.3), 0.02) << "the handle below it";
  EXPECT_LT(caption(frame("268"), 0.0, 0.3), 0.002) << "no credit before 12 beats in";
}

}  // namespace
