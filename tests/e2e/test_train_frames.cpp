// The toy train's slot at chosen beats (--frame): the fades, the train and
// its track of steel rails on sleepers in the picture, the falling track
// pieces, the caption lines, and the exact seek.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "frames.h"

namespace {

class TrainFrames : public FramesTest<TrainFrames> {
 protected:
  static void SetUpTestSuite() {
    frames() = renderFrames({"114", "130", "132", "165", "183", "222", "240", "253", "257.9"});
  }

  // Pixels in the train's paint: its red and its green, which neither the
  // wood, the floor nor the sky has.
  static int paint(const Picture& p) {
    int count = 0;
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
      const unsigned char* c = &p.rgb[i];
      count += (c[0] > 140 && c[1] < 90 && c[2] < 90) || (c[1] > 120 && c[0] < 100 && c[2] < 110);
    }
    return count;
  }
  // Share of a rectangle's pixels in bright, neutral steel: the rails, which
  // neither the wood, the floor nor the blue sky has.
  static double steel(const Picture& p, double x0, double y0, double x1, double y1) {
    int hits = 0;
    const int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) {
      hits += std::abs(c[0] - c[1]) < 12 && std::abs(c[1] - c[2]) < 14 && c[1] > 90 && c[1] < 235;
    });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // Share of a rectangle's pixels where the sky shows: blue at least as
  // strong as red.
  static double sky(const Picture& p, double x0, double y0, double x1, double y1) {
    int hits = 0;
    const int n = p.each(x0, y0, x1, y1, [&](const unsigned char* c) { hits += c[2] >= c[0]; });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
  // White caption pixels in the lower left band.
  static int caption(const Picture& p) {
    int count = 0;
    for (int y = int(0.7 * p.height); y < int(0.86 * p.height); ++y)
      for (int x = int(0.04 * p.width); x < int(0.9 * p.width); ++x) {
        const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
        count += c[0] > 235 && c[1] > 235 && c[2] > 235;
      }
    return count;
  }
};

TEST_F(TrainFrames, FadesInFromBlackAndOutToBlack) {
  EXPECT_LT(frame("114").mean(), 1.0);
  EXPECT_LT(frame("257.9").mean(), 8.0) << "a tenth of a beat before the end";
  EXPECT_GT(frame("130").mean(), 40.0) << "a lit toy world in between";
}

TEST_F(TrainFrames, TheTrainIsInThePicture) {
  // Coming towards camera 0, then close beside cameras 2 and 1.
  for (const char* beat : {"132", "222", "240"})
    EXPECT_GT(paint(frame(beat)), 200) << "the train's paint at beat " << beat;
  EXPECT_LT(paint(frame("114")), 10);
}

TEST_F(TrainFrames, TheTrackIsSteelRailsOnSleepers) {
  // On the floor ahead of camera 0 and between the trains beside camera 2,
  // the track's rails shine steel grey (the wooden track had none: 0 and
  // 0.008 of the lower half).
  for (const char* beat : {"130", "222"})
    EXPECT_GT(steel(frame(beat), 0, 0.5, 1, 1), 0.02) << "beat " << beat;
}

TEST_F(TrainFrames, AFallingPieceOverheadLeavesTheSkyShowing) {
  // Three beats into the second segment a falling piece passes just over
  // camera 2: its rails and sleepers leave the sky showing between them
  // (the solid wooden piece left 0.17 of the top third).
  EXPECT_GT(sky(frame("165"), 0, 0, 1, 1.0 / 3), 0.25);
}

TEST_F(TrainFrames, CaptionLinesComeAndGo) {
  EXPECT_GT(caption(frame("183")), 150) << "the month line";
  EXPECT_EQ(caption(frame("253")), 0) << "after the last line";
  EXPECT_EQ(caption(frame("130")), 0) << "before the first";
}

}  // namespace
