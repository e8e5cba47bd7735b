// The tile mosaic's slot at chosen beats (--frame): the fade from white, the
// tiles in flight before the room's wall, the finished squid, the walls and
// the shower head, the room's wall standing still while the head comes
// down, the stall in its room and in focus as the camera pulls back, the
// caption and the fade to black.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "frames.h"

namespace {

class TilesFrames : public FramesTest<TilesFrames> {
 protected:
  static void SetUpTestSuite() {
    frames() = renderFrames(
        {"450", "456", "460", "498", "506", "513", "516", "526", "536", "538", "540.5", "543", "546"});
  }

  // Share of the picture's pixels with every channel below 16.
  static double nearBlack(const Picture& p) {
    int dark = 0;
    const int n = p.each(0, 0, 1, 1, [&](const unsigned char* c) { dark += std::max({c[0], c[1], c[2]}) < 16; });
    return n ? static_cast<double>(dark) / n : 1.0;
  }

  // How sharp a rectangle is: the mean step in grey level between pixels
  // one above the other.
  static double sharpness(const Picture& p, double x0, double y0, double x1, double y1) {
    const int xa = static_cast<int>(x0 * p.width), xb = static_cast<int>(x1 * p.width);
    const int ya = static_cast<int>(y0 * p.height), yb = static_cast<int>(y1 * p.height);
    double sum = 0.0;
    int n = 0;
    auto grey = [&](int x, int y) {
      const unsigned char* c = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      return (c[0] + c[1] + c[2]) / 3.0;
    };
    for (int y = ya; y + 1 < yb; ++y)
      for (int x = xa; x < xb; ++x, ++n) sum += std::abs(grey(x, y + 1) - grey(x, y));
    return n ? sum / n : 0.0;
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
  // Six beats in, the tiles are specks all over the picture, in front of
  // the room's lit wall (which comes down with the head, and stands from
  // the floor up all the way): each band across the picture holds dark
  // specks and lit wall, and nothing is black (without the wall three
  // quarters of the picture two beats later).
  const Picture& flying = frame("456");
  EXPECT_LT(nearBlack(flying), 0.1);
  for (double y = 0; y < 0.6; y += 0.2) {
    EXPECT_GT(flying.share(0, y, 1, y + 0.2, [](double g) { return g < 50; }), 0.05) << "band at " << y;
    EXPECT_GT(flying.share(0, y, 1, y + 0.2, [](double g) { return g > 120; }), 0.2) << "band at " << y;
  }
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

TEST_F(TilesFrames, TheWallStandsStillWhileTheShowerHeadComesDown) {
  // The scene draws the room where the head hangs; the wall runs on below
  // the floor and looks the same all the way up, so beside the stall it
  // stands lit through the head's descent (without it, black there until
  // the wall's foot came down across the picture at beat 63).
  for (const char* beat : {"506", "513", "516"}) {
    const Picture& p = frame(beat);
    EXPECT_GT(p.mean(0.85, 0, 1, 0.5), 60.0) << "beat " << beat;
    EXPECT_LT(nearBlack(p), 0.1) << "beat " << beat;
  }
  EXPECT_NEAR(frame("513").mean(0.85, 0, 1, 0.5), frame("516").mean(0.85, 0, 1, 0.5), 10.0);
}

TEST_F(TilesFrames, TheStallStaysInFocusAsTheCameraPullsBack) {
  // From 85 the stall lies well past the scene's focus (sharp within 40 of
  // the eye, blurred from 70): the file's clear pane, which the camera
  // passes as the head comes to rest, holds the depth that the focus reads.
  // The mosaic's grout and the squid's edges stay as sharp at 88 beats as
  // at 76 (without the pane 5.8 against 7.4 at this size).
  const double near = sharpness(frame("526"), 0.42, 0.05, 0.58, 0.6);
  const double far = sharpness(frame("538"), 0.42, 0.05, 0.58, 0.6);
  EXPECT_GT(near, 10.0);
  EXPECT_GT(far, 10.0);
  EXPECT_GT(far, 0.8 * near);
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
