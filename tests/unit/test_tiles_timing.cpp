// The tile scene's timetable: the tiles' flight, the fold, the shower
// head's descent, the camera blend and the caption.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "scenes/scene_tiles/tiles_timing.h"

namespace {

using namespace TilesTiming;

TEST(TilesTiming, ATileStartsAtItsStartAndStaysAtItsTargetFromItsArrival) {
  const float start[3] = {10, -40, 25}, target[3] = {2, 0, 7};
  float at[3];
  tilePosition(start, target, 10.0f, 0.0f, at);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(at[i], start[i]);
  tilePosition(start, target, 10.0f, 5.0f, at);
  EXPECT_FLOAT_EQ(at[0], 6.0f);
  EXPECT_FLOAT_EQ(at[1], -20.0f);
  for (float t : {10.0f, 30.0f, 48.0f}) {
    tilePosition(start, target, 10.0f, t, at);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(at[i], target[i]) << "t " << t;
  }
}

// The wall draws the arrived tiles where their targets are, and the mesh
// the rest: a tile is on its target exactly from its arrival on, never a
// float before, and the ones still flying hold the last places.
TEST(TilesTiming, ArrivedTilesAreOnTheirTargetsAndTheFlyingOnesTakeTheLastPlaces) {
  const float start[3] = {10, -40, 25}, target[3] = {2.5f, 0, 7};
  std::srand(3);
  std::vector<float> arrivals;
  for (int k = 0; k < 500; ++k) arrivals.push_back(randomRange(5.0f, 48.0f));
  arrivals.push_back(arrivals[7]);  // a tie
  for (float arrival : arrivals) {
    float at[3];
    tilePosition(start, target, arrival, arrival, at);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(at[i], target[i]) << "at its arrival " << arrival;
    const float before = std::nextafter(arrival, 0.0f);
    EXPECT_FALSE(hasArrived(arrival, before));
    EXPECT_TRUE(hasArrived(arrival, arrival));
  }
  const std::vector<int> places = placesByArrival(arrivals);
  std::vector<bool> taken(places.size(), false);
  for (int place : places) {
    ASSERT_GE(place, 0);
    ASSERT_LT(place, static_cast<int>(places.size()));
    EXPECT_FALSE(taken[static_cast<size_t>(place)]) << "one tile a place";
    taken[static_cast<size_t>(place)] = true;
  }
  EXPECT_LT(places[7], places.back()) << "the earlier tile first on a tie";
  for (float t : {0.0f, 5.0f, 12.5f, arrivals[3], 30.0f, 47.99f, 48.0f}) {
    int arrived = 0;
    for (float arrival : arrivals) arrived += hasArrived(arrival, t);
    for (size_t k = 0; k < arrivals.size(); ++k)
      EXPECT_EQ(places[k] < arrived, hasArrived(arrivals[k], t)) << "tile " << k << " at " << t;
  }
}

TEST(TilesTiming, TheWallsFoldFrom48To84) {
  EXPECT_EQ(foldAngle(0.0f), 0.0f);
  EXPECT_EQ(foldAngle(48.0f), 0.0f);
  EXPECT_FLOAT_EQ(foldAngle(66.0f), 45.0f);
  EXPECT_FLOAT_EQ(foldAngle(84.0f), 90.0f);
  EXPECT_FLOAT_EQ(foldAngle(95.0f), 90.0f);
}

TEST(TilesTiming, TheShowerHeadComesDownFrom48To66AndStays) {
  EXPECT_EQ(showerHeadZ(0.0f), 300.0f);
  EXPECT_EQ(showerHeadZ(47.9f), 300.0f);
  EXPECT_FLOAT_EQ(showerHeadZ(48.0f), 300.0f);
  EXPECT_FLOAT_EQ(showerHeadZ(57.0f), 300.0f - 283.0f * 0.5f);
  EXPECT_FLOAT_EQ(showerHeadZ(66.0f), 17.0f);
  EXPECT_FLOAT_EQ(showerHeadZ(90.0f), 17.0f);
}

TEST(TilesTiming, TheCameraGlidesOnPastCameraFourAfterTheFold) {
  CameraBlend early = cameraBlend(24.0f);
  EXPECT_EQ(early.from, 1);
  EXPECT_EQ(early.to, 2);
  EXPECT_FLOAT_EQ(early.factor, 0.5f);
  EXPECT_EQ(cameraBlend(0.0f).factor, 0.0f);
  CameraBlend at = cameraBlend(48.0f);
  EXPECT_EQ(at.from, 2);
  EXPECT_EQ(at.factor, 0.0f);
  EXPECT_FLOAT_EQ(cameraBlend(84.0f).factor, 1.0f);
  EXPECT_GT(cameraBlend(90.0f).factor, 1.0f) << "not limited to 1";
  EXPECT_EQ(cameraBlend(90.0f).to, 4);
}

TEST(TilesTiming, TheCaptionFadesInAt6AndOutAt90) {
  EXPECT_FALSE(captionShown(5.9f));
  EXPECT_TRUE(captionShown(6.0f));
  EXPECT_FLOAT_EQ(captionAlpha(6.0f), 0.0f);
  EXPECT_NEAR(captionAlpha(6.6f), 0.5f, 1e-4f);
  EXPECT_NEAR(captionAlpha(7.2f), 1.0f, 1e-4f);
  EXPECT_EQ(captionAlpha(50.0f), 1.0f);
  EXPECT_NEAR(captionAlpha(89.4f), 0.5f, 1e-4f);
  EXPECT_TRUE(captionShown(89.9f));
  EXPECT_FALSE(captionShown(90.0f));
}

TEST(TilesTiming, RandomRangeSpansItsRangeFromTheSeededGenerator) {
  std::srand(1);
  float low = 1e9f, high = -1e9f;
  for (int i = 0; i < 10000; ++i) {
    float v = randomRange(-50.0f, 50.0f);
    low = std::min(low, v);
    high = std::max(high, v);
  }
  EXPECT_GE(low, -50.0f) << "within the range, whatever the generator's RAND_MAX";
  EXPECT_LE(high, 50.0f);
  EXPECT_LT(low, -49.0f);
  EXPECT_GT(high, 49.0f);
  std::srand(1);
  float first = randomRange(5.0f, 48.0f);
  std::srand(1);
  EXPECT_EQ(randomRange(5.0f, 48.0f), first) << "the same seed, the same tiles";
  EXPECT_EQ(mosaicPixel(0, 0), 0);
  EXPECT_EQ(mosaicPixel(112, 79), 112 + 113 * 79);
}

}  // namespace
