// The tile mosaic's slot at chosen beats (--frame): the fade from white, the
// tiles in flight, the finished squid, the walls and the shower head, the
// room round the stall as the camera pulls back, the caption and the fade
// to black.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "frames.h"

namespace {

class TilesFrames : public FramesTest<TilesFrames> {
 protected:
  static void SetUpTestSuite() {
    frames() = renderFrames({"450", "456", "460", "498", "526", "536", "540.5", "543", "546"});
  }

  // Share of the picture's pixels with every channel below 16.
  static double nearBlack(const Picture& p) {
    int dark = 0;
    const int n = p.each(0, 0, 1, 1, [&](const unsigned char* c) { dark += std::max({c[0], c[1], c[2]}) < 16; });
    return n ? static_cast<double>(dark) / n : 1.0;
  }

  // White caption pixels in the upper left corner, where "Wild" stands.
  static double caption(const Picture& p) {
    return p.share(0.0, 0.05, 0.25, 0.25, [](double g) { return g > 240; });
  }
};

TEST_F(TilesFrames, FadesInFromWhiteAndOutToBlack) {
  EXPECT_GT(frame("450").mean(), 250.0) << "the robots' flash to white goes on";
  EXPECT_LT(frame("546").mean(), 1.0);
  EXPECT_LT(frame("498").mean(), 200.0);
}

TEST_F(TilesFrames, TheTilesFlyScatteredThenFormTheSquid) {
  // Six beats in, the tiles are specks all over a dark picture, nowhere a
  // solid shape: each band across the picture holds bright specks.
  const Picture& flying = frame("456");
  EXPECT_LT(flying.mean(), 80.0);
  for (double y = 0; y < 0.6; y += 0.2)
    EXPECT_GT(flying.share(0, y, 1, y + 0.2, [](double g) { return g > 120; }), 0.005) << "band at " << y;
  // At 48 beats the mosaic is complete: the squid's white mantle in the
  // middle at the top, its dark eyes below it, the dark tiles on each side.
  const Picture& mosaic = frame("498");
  EXPECT_GT(mosaic.mean(0.45, 0.0, 0.55, 0.12), 230.0) << "the mantle";
  EXPECT_LT(mosaic.mean(0.1, 0.25, 0.3, 0.55), 70.0) << "the dark tiles left of the squid";
  EXPECT_LT(mosaic.share(0.45, 0.0, 0.55, 0.12, [](double g) { return g < 180; }), 0.01)
      << "nothing hangs in front of the mantle yet";
}

TEST_F(TilesFrames, TheWallsStandAndTheShowerHeadHangsInTheStall) {
  // Beyond beat 84 the camera looks into a narrow stall that stands in a
  // tiled room: the room's lit wall on both sides of it, the mosaic inside
  // brighter still.
  const Picture& stall = frame("536");
  EXPECT_GT(stall.mean(0, 0, 0.25, 0.6), 50.0) << "the room's wall left of the stall";
  EXPECT_GT(stall.mean(0.75, 0, 1, 0.6), 50.0) << "the room's wall right of the stall";
  EXPECT_GT(stall.mean(0.42, 0.05, 0.58, 0.6), 90.0) << "the lit mosaic inside";
  // The chrome head hangs in front of the white mantle: a grey shape in it.
  EXPECT_GT(stall.share(0.45, 0.1, 0.55, 0.2, [](double g) { return g < 180; }), 0.05);
  EXPECT_GT(stall.share(0.45, 0.1, 0.55, 0.2, [](double g) { return g > 220; }), 0.3);
}

TEST_F(TilesFrames, ThePulledBackStallStandsInALitRoomNotOnBlack) {
  // As the camera pulls back the stall becomes a narrow column; the tiled
  // room round it fills the rest, and the squid's mantle stays the
  // brightest thing in the picture.
  for (const char* beat : {"526", "536"}) {
    const Picture& p = frame(beat);
    EXPECT_LT(nearBlack(p), 0.05) << "beat " << beat;
    EXPECT_GT(p.mean(0.45, 0.1, 0.55, 0.3), p.mean(0, 0, 0.25, 0.6) + 40.0) << "beat " << beat;
  }
}

TEST_F(TilesFrames, TheLastBeatsFadeTheSamePictureOut) {
  // Halfway through the fade the picture is the stall in its room at about
  // half the brightness, not a blur going black.
  const Picture& lit = frame("536");
  const Picture& fading = frame("543");
  EXPECT_GT(fading.mean(), 0.25 * lit.mean());
  EXPECT_LT(fading.mean(), 0.75 * lit.mean());
  EXPECT_LT(nearBlack(fading), 0.3);
  EXPECT_GT(fading.mean(0.45, 0.1, 0.55, 0.3), fading.mean(0, 0, 0.25, 0.6) + 15.0) << "the mantle still stands out";
}

TEST_F(TilesFrames, TheCaptionStandsFromSixToNinetyBeats) {
  EXPECT_LT(caption(frame("456")), 0.002) << "still transparent at its first beat";
  EXPECT_GT(caption(frame("460")), 0.02);
  EXPECT_GT(caption(frame("536")), 0.02);
  EXPECT_EQ(caption(frame("540.5")), 0.0) << "gone from beat 90 of the scene";
}

}  // namespace
