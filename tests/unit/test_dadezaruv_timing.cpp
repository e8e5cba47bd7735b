// The robot scene's timetable: the view's moves, the painter's circle and
// brush, the moving parts and the categories.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scenes/scene_dadezaruv/dadezaruv_timing.h"

namespace {

using namespace RobotsTiming;

constexpr float kPi = 3.14159265358979f;

TEST(RobotsTiming, TheViewHoldsEachRobotThenMovesToTheNextOverABeat) {
  EXPECT_TRUE(cameraStep(0.0f).copy);
  EXPECT_TRUE(cameraStep(11.9f).copy);
  CameraStep s = cameraStep(35.5f);
  EXPECT_FALSE(s.copy);
  EXPECT_EQ(s.from, 0);
  EXPECT_EQ(s.to, 2);
  EXPECT_FLOAT_EQ(s.f, 0.5f) << "halfway between cameras 0 and 2";
  EXPECT_EQ(cameraStep(20.0f).f, 0.0f);
  s = cameraStep(47.25f);
  EXPECT_EQ(s.from, 2);
  EXPECT_EQ(s.to, 1);
  EXPECT_FLOAT_EQ(s.f, 0.25f);
  EXPECT_EQ(cameraStep(83.0f).f, 0.0f);
  for (float u : {84.0f, 90.0f, 96.0f}) {
    s = cameraStep(u);
    EXPECT_EQ(s.to, 3);
    EXPECT_EQ(s.f, 1.0f) << "camera 3 from 84 on, at " << u;
  }
}

TEST(RobotsTiming, ThePainterPaintsOnlyBetween36And48AndKeepsItsDriftAfterwards) {
  EXPECT_FALSE(painting(35.9f));
  EXPECT_FALSE(painting(36.0f));
  EXPECT_TRUE(painting(36.1f));
  EXPECT_FALSE(painting(48.0f));
  EXPECT_EQ(painterTravel(30.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(painterTravel(40.0f, 0.0f), 2.0f);
  EXPECT_EQ(painterTravel(50.0f, 5.95f), 5.95f) << "kept from the last painting frame";
  // After the window it circles the centre it had reached.
  for (float u : {50.0f, 61.3f, 90.0f}) {
    const PainterPose p = painterPose(u, 5.95f);
    EXPECT_NEAR(std::hypot(p.position[0] + 35.0f + 5.95f, p.position[1]), 6.0f, 1e-4f);
    EXPECT_NEAR(std::hypot(p.brush[0] + 35.0f + 5.95f, p.brush[1]), 6.9f, 1e-4f);
  }
}

TEST(RobotsTiming, TheBrushSitsAtTheSameSpotOfThePainterWhileItDrivesForward) {
  // Its model carries the brush on its left, 0.9 from its centre: in the
  // robot's own frame the brush never moves, and the robot's nose (+x)
  // points the way it goes.
  for (float u = 0.0f; u < 96.0f; u += 7.3f) {
    const PainterPose p = painterPose(u, 1.0f);
    const float a = p.heading * kPi / 180.0f;
    const float dx = p.brush[0] - p.position[0], dy = p.brush[1] - p.position[1];
    EXPECT_NEAR(std::cos(a) * dx + std::sin(a) * dy, 0.0f, 1e-4f) << u;
    EXPECT_NEAR(-std::sin(a) * dx + std::cos(a) * dy, 0.9f, 1e-4f) << u;
    const PainterPose later = painterPose(u + 0.01f, 1.0f);
    const float vx = later.position[0] - p.position[0], vy = later.position[1] - p.position[1];
    EXPECT_GT(std::cos(a) * vx + std::sin(a) * vy, 0.99f * std::hypot(vx, vy)) << u;
  }
}

TEST(RobotsTiming, TheBrushLandsOnTheCanvasAndNeverOutsideIt) {
  const Texel centre = brushTexel(-35.0f, 0.0f);
  EXPECT_EQ(centre.x, 512);
  EXPECT_EQ(centre.y, 512);
  const Texel right = brushTexel(-35.0f + 10.0f, -10.0f);
  EXPECT_EQ(right.x, 768);
  EXPECT_EQ(right.y, 256);
  const Texel outside = brushTexel(100.0f, -100.0f);
  EXPECT_EQ(outside.x, kCanvasSize - kBrushSize);
  EXPECT_EQ(outside.y, 0);
}

TEST(RobotsTiming, TheMovingPartsFollowTheBeat) {
  EXPECT_EQ(cameraBotHold(46.0f), 30.0f);
  EXPECT_EQ(cameraBotHold(90.0f), 30.0f);
  EXPECT_FLOAT_EQ(cameraBotHold(93.0f), 14.0f);
  EXPECT_FLOAT_EQ(cameraBotHold(96.0f), -2.0f);
  EXPECT_NEAR(cameraBotSwing(400.5f), 60.0f, 1e-3f);
  EXPECT_NEAR(cameraBotSwing(401.5f), 0.0f, 1e-3f);
  // During "Gabber" (72 < u < 84) the head swings twice as fast and far.
  for (float t : {427.1f, 427.3f}) EXPECT_FLOAT_EQ(banjoHead(t, 73.0f), 30.0f * std::sin(2.0f * kPi * t));
  for (float u : {71.0f, 84.0f}) EXPECT_FLOAT_EQ(banjoHead(425.3f, u), 15.0f * std::sin(kPi * 425.3f)) << u;
  EXPECT_FLOAT_EQ(banjoStrum(427.3f, 73.0f), 20.0f * std::sin(2.0f * kPi * 427.3f - kPi));
  EXPECT_FLOAT_EQ(banjoStrum(427.3f, 60.0f), 20.0f * std::sin(kPi * 427.3f - kPi));
  EXPECT_NEAR(lampRed(400.25f), 1.0f, 1e-3f);
  EXPECT_NEAR(lampRed(400.75f), 0.0f, 1e-3f);
}

TEST(RobotsTiming, TheCategoriesChangeEveryTwelveBeatsThroughAnInvisibleMoment) {
  EXPECT_STREQ(category(0.0f), "Combined Demo");
  EXPECT_STREQ(category(11.99f), "Combined Demo");
  EXPECT_STREQ(category(12.0f), "Combined 64K Intro");
  EXPECT_EQ(categoryAlpha(12.0f), 0.0f);
  EXPECT_NEAR(categoryAlpha(13.2f), 1.0f, 1e-5f);
  EXPECT_STREQ(category(75.0f), "Gabber");
  EXPECT_STREQ(category(95.0f), "Photo");
  EXPECT_STREQ(category(96.0f), "Surprise");
  EXPECT_EQ(categoryAlpha(0.0f), 0.0f) << "the first fades in too";
  EXPECT_EQ(categoryAlpha(30.0f), 1.0f);
}

}  // namespace
