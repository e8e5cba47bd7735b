// The train scene's timetable: segments and their cameras, the train and
// the rails, the camera paths and the captions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scenes/invitation.h"
#include "scenes/scene_train/train_timing.h"

namespace {

using namespace TrainTiming;

TEST(TrainTiming, ASegmentEndsJustPast48BeatsAndTheNextStartsAtZero) {
  SegmentStep inside = stepSegment(162.0f, 114.0f);  // exactly 48: still the first
  EXPECT_FALSE(inside.newSegment);
  EXPECT_FLOAT_EQ(inside.t, 48.0f);
  SegmentStep past = stepSegment(162.02f, 114.0f);
  EXPECT_TRUE(past.newSegment);
  EXPECT_FLOAT_EQ(past.segmentStart, 162.0f);
  EXPECT_EQ(past.t, 0.0f) << "the train jumps back to its start";
  EXPECT_FLOAT_EQ(trainY(past.t), 20.0f);
  SegmentStep next = stepSegment(170.0f, past.segmentStart);
  EXPECT_FALSE(next.newSegment);
  EXPECT_FLOAT_EQ(next.t, 8.0f);
  EXPECT_FLOAT_EQ(trainY(next.t), 20.0f - 96.0f);
}

TEST(TrainTiming, CamerasZeroThenTwoThenOneForGood) {
  unsigned camera = 0;
  camera = cameraForSegment(1, camera);
  EXPECT_EQ(camera, 2u);
  camera = cameraForSegment(2, camera);
  EXPECT_EQ(camera, 1u);
  for (int segment = 3; segment < 6; ++segment) {
    camera = cameraForSegment(segment, camera);
    EXPECT_EQ(camera, 1u) << "segment " << segment;
  }
}

TEST(TrainTiming, RailsStartHighAndLandOnZeroToStay) {
  EXPECT_FLOAT_EQ(railStartHeight(0), 10.0f);
  EXPECT_FLOAT_EQ(railStartHeight(119), 10.0f + 22.0f * 119);
  EXPECT_FLOAT_EQ(lowerRail(10.0f, 0.2f), 7.5f);
  EXPECT_EQ(lowerRail(1.0f, 0.2f), 0.0f) << "passing 0 lands on 0, never below";
  EXPECT_EQ(lowerRail(2.5f, 0.2f), 0.0f) << "reaching 0 exactly";
  EXPECT_EQ(lowerRail(0.0f, 0.2f), 0.0f) << "and stays";
}

TEST(TrainTiming, EachRailLandsShortlyBeforeTheTrainReachesIt) {
  // At a steady 60 frames a second, three tracks each lowering the rails.
  const float step = 125.0f / 60.0f / 60.0f;
  for (int i : {0, 10, 60, 119}) {
    float height = railStartHeight(i);
    float landed = -1.0f;
    for (int frame = 1; frame < 48 * 60 && landed < 0.0f; ++frame) {
      for (int track = 0; track < 3; ++track) height = lowerRail(height, step);
      if (height == 0.0f) landed = frame * step;
    }
    // The train's front passes the rail's far end (y = -(i + 1) x 7) at:
    float reached = (20.0f + (i + 1) * kRailSpacing) / 12.0f;
    EXPECT_GT(reached - landed, 1.5f) << "rail " << i;
    EXPECT_LT(reached - landed, 2.5f) << "rail " << i;
  }
}

TEST(TrainTiming, CameraPathsFollowTheTrain) {
  LookAt zero = cameraPath(0, 0.0f);
  EXPECT_FLOAT_EQ(zero.eye[0], 5.0f);
  EXPECT_FLOAT_EQ(zero.eye[1], 0.7f * 20.0f + 200.0f - 70.0f);
  EXPECT_FLOAT_EQ(zero.eye[2], 5.0f);
  EXPECT_FLOAT_EQ(zero.centre[1], 220.0f);
  LookAt one = cameraPath(1, 10.0f);
  const float y0 = 200.0f + 20.0f - 120.0f;
  EXPECT_FLOAT_EQ(one.eye[0], 15.0f * std::sin(2.5f) - 10.0f);
  EXPECT_FLOAT_EQ(one.eye[1], y0 + std::sin(1.25f) + 25.0f);
  EXPECT_FLOAT_EQ(one.eye[2], 2.0f * std::cos(2.0f) + 5.0f);
  EXPECT_FLOAT_EQ(one.centre[0], -10.0f);
  LookAt two = cameraPath(2, 10.0f);
  EXPECT_FLOAT_EQ(two.eye[1], y0 - 25.0f - std::sin(1.25f));
  EXPECT_FLOAT_EQ(two.eye[2], 2.0f * std::cos(2.0f) + 3.0f);
  EXPECT_FLOAT_EQ(two.centre[1], y0);
}

TEST(TrainTiming, CaptionsChangeEvery18BeatsAndFadeThroughZero) {
  EXPECT_EQ(captionLine(47.9f), nullptr);
  EXPECT_STREQ(captionLine(48.0f), "Bring your own toys");
  EXPECT_STREQ(captionLine(66.0f), Invitation::kMonthLine);
  EXPECT_NE(std::string(Invitation::kMonthLine).find("April"), std::string::npos);
  EXPECT_STREQ(captionLine(90.0f), "We'll make sure you are well-fed,");
  EXPECT_STREQ(captionLine(110.0f), "that your diapers are always dry");
  EXPECT_STREQ(captionLine(137.9f), "and that the bonfire never runs out of wood");
  EXPECT_EQ(captionLine(138.0f), nullptr);
  EXPECT_EQ(captionLine(142.0f), nullptr);

  EXPECT_FLOAT_EQ(captionAlpha(66.0f), 0.0f);
  EXPECT_NEAR(captionAlpha(66.6f), 0.5f, 1e-4f);
  EXPECT_FLOAT_EQ(captionAlpha(70.0f), 1.0f);
  EXPECT_NEAR(captionAlpha(65.4f), 0.5f, 1e-4f) << "it fades out before the change too";
}

}  // namespace
