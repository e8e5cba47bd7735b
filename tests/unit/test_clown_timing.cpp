// The clown scene's timetable: camera 2's glide, the body parts' fall, the
// loose rings, the shakes' windows and the credits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scenes/scene_clown/clown_timing.h"
#include "util/camera/camera.h"

namespace {

using namespace ClownTiming;

constexpr float kStart = 258.0f, kSeventh = 298.0f;
// Bells as the soundtrack rings them, the seventh at kSeventh.
constexpr Bells kBells = {{266.0f, 274.0f, 282.0f, 290.0f, 294.0f, 296.0f, kSeventh},
                          {330.0f, 330.2f, 334.0f, 334.2f, 338.0f, 338.2f, 342.0f, 342.2f, 346.0f, 346.2f,
                           350.0f, 350.2f}};

Camera cameraWithView(float base) {
  Camera camera;
  for (int i = 0; i < 16; ++i) camera.view[i] = base + static_cast<float>(i);
  camera.yfov = base;
  camera.znear = 0.1f;
  camera.zfar = 10.0f * base;
  return camera;
}

TEST(ClownTiming, CameraTwoGlidesFromOneToThreeUntilTheSeventhBell) {
  CameraBlend b = cameraBlend(kStart, kBells, kStart);
  EXPECT_EQ(b.from, 1);
  EXPECT_EQ(b.to, 3);
  EXPECT_EQ(b.u, 0.0f);
  EXPECT_FLOAT_EQ(cameraBlend(278.0f, kBells, kStart).u, 0.5f);
  b = cameraBlend(kSeventh, kBells, kStart);
  EXPECT_EQ(b.from, 3);
  EXPECT_EQ(b.to, 0);
  EXPECT_EQ(b.u, 0.0f) << "camera 3 holds until 329";
  EXPECT_EQ(cameraBlend(328.9f, kBells, kStart).u, 0.0f);
}

TEST(ClownTiming, AtBeat329AndAHalfCameraTwoIsHalfwayBetweenThreeAndZero) {
  const CameraBlend b = cameraBlend(329.5f, kBells, kStart);
  ASSERT_EQ(b.from, 3);
  ASSERT_EQ(b.to, 0);
  EXPECT_EQ(b.u, 0.5f);
  Camera three = cameraWithView(3.0f), zero = cameraWithView(40.0f), two;
  Camera::blend(three, zero, b.u, two);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(two.view[i], (three.view[i] + zero.view[i]) / 2) << i;
  EXPECT_FLOAT_EQ(two.yfov, 21.5f);
}

TEST(ClownTiming, FromBeat350Point2CameraTwoIsCameraFour) {
  const CameraBlend glide = cameraBlend(342.1f, kBells, kStart);
  EXPECT_EQ(glide.from, 0);
  EXPECT_EQ(glide.to, 4);
  EXPECT_NEAR(glide.u, 0.5f, 1e-5f);
  EXPECT_EQ(cameraBlend(333.9f, kBells, kStart).u, 0.0f) << "camera 0 holds until 334";
  Camera zero = cameraWithView(40.0f), four = cameraWithView(7.0f);
  for (float t : {350.2f, 351.0f, 353.9f}) {
    const CameraBlend b = cameraBlend(t, kBells, kStart);
    Camera two;
    Camera::blend(zero, four, b.u, two);
    EXPECT_EQ(std::memcmp(two.view.data(), four.view.data(), sizeof four.view.m), 0) << "beat " << t;
    EXPECT_EQ(two.yfov, four.yfov);
    EXPECT_EQ(two.zfar, four.zfar);
  }
}

TEST(ClownTiming, ABodyPartFallsFromAHundredDuringTheBeatsBeforeItsBell) {
  EXPECT_EQ(bodyDrop(270.0f, 260.0f), 100.0f);
  EXPECT_EQ(bodyDrop(270.0f, 268.25f), 100.0f) << "1.75 beats before: still at the top";
  EXPECT_FLOAT_EQ(bodyDrop(270.0f, 270.0f - 0.875f), 50.0f);
  EXPECT_EQ(bodyDrop(270.0f, 270.0f), 0.0f);
  EXPECT_EQ(bodyDrop(270.0f, 300.0f), 0.0f);
}

TEST(ClownTiming, TheLooseRingsFallInTheBeatBeforeTheirOwnAndStack) {
  for (int k = 0; k < kRings; ++k) {
    const float K = kBells.rings[k];
    EXPECT_FALSE(ringPose(k, kBells.rings[k], K - 1.0f, 90.0f).shown) << "ring " << k;
    EXPECT_FALSE(ringPose(k, kBells.rings[k], 300.0f, 90.0f).shown);
    const RingPose falling = ringPose(k, kBells.rings[k], K - 0.5f, 180.0f);
    const RingPose landed = ringPose(k, kBells.rings[k], K + 0.01f, 180.0f);
    ASSERT_TRUE(falling.shown);
    ASSERT_TRUE(landed.shown);
    EXPECT_NEAR(falling.height - landed.height, 50.0f, 1e-3f);
    EXPECT_GT(falling.tilt, 0.0f);
    EXPECT_EQ(landed.tilt, 0.0f);
    EXPECT_EQ(landed.spin, 180.0f);
    // It lies where it landed for the rest of the scene, on the ring before.
    EXPECT_EQ(ringPose(k, kBells.rings[k], 353.9f, 180.0f).height, landed.height);
    if (k == 0) {
      EXPECT_EQ(landed.height, kFloorZ);
    } else {
      EXPECT_NEAR(landed.height - ringPose(k - 1, kBells.rings[k - 1], 353.9f, 0.0f).height, kRingThickness, 1e-5f) << "ring " << k;
    }
  }
}

TEST(ClownTiming, TheBodyTakesTheFirstSevenBellsAndTheRingsTheLastTwelve) {
  std::vector<float> noteOns;
  for (int i = 0; i < 21; ++i) noteOns.push_back(260.0f + 4.0f * static_cast<float>(i));
  Bells bells;
  ASSERT_TRUE(bellsFrom(noteOns, bells));
  EXPECT_EQ(bells.body[0], 260.0f);
  EXPECT_EQ(bells.body[6], 284.0f);
  EXPECT_EQ(bells.rings[0], 296.0f) << "two bells between are neither";
  EXPECT_EQ(bells.rings[11], 340.0f);
  noteOns.resize(18);
  EXPECT_FALSE(bellsFrom(noteOns, bells)) << "seven and twelve need nineteen";
}

TEST(ClownTiming, TheShakesReachShrinksToNothingInItsWindow) {
  EXPECT_EQ(firstShakeReach(kSeventh, kSeventh), 0.0f) << "not on the bell itself";
  EXPECT_NEAR(firstShakeReach(kSeventh + 0.05f, kSeventh), 0.15f, 1e-4f);
  EXPECT_EQ(firstShakeReach(kSeventh + 0.2f, kSeventh), 0.0f);
  EXPECT_NEAR(ringShakeReach(330.1f, 330.0f), 0.2f, 1e-4f);
  EXPECT_EQ(ringShakeReach(330.31f, 330.0f), 0.0f);
  EXPECT_EQ(ringShakeReach(329.9f, 330.0f), 0.0f);
  EXPECT_EQ(shakeOffset(0.3f, 0.0f), -0.3f);
  EXPECT_EQ(shakeOffset(0.3f, 1.0f), 0.3f);
  EXPECT_EQ(shakeOffset(0.3f, 0.5f), 0.0f);
}

TEST(ClownTiming, TheCreditsShowARoleAndItsHandleBetweenTheirChanges) {
  EXPECT_EQ(creditRole(11.9f), nullptr);
  EXPECT_EQ(creditRole(72.0f), nullptr);
  EXPECT_EQ(creditHandle(80.0f), nullptr);
  EXPECT_STREQ(creditRole(12.0f), "Code");
  EXPECT_STREQ(creditRole(23.9f), "Code");
  EXPECT_STREQ(creditRole(24.0f), "Music");
  EXPECT_STREQ(creditRole(45.0f), "Additional modelling");
  EXPECT_STREQ(creditRole(71.9f), "Original squid picture");
  const char* design = creditHandle(57.0f);
  ASSERT_NE(design, nullptr);
  EXPECT_NE(std::string(design).find(" & "), std::string::npos) << "two names for design support";
  for (float u = 12.0f; u < 72.0f; u += 6.0f) {
    ASSERT_NE(creditHandle(u), nullptr) << u;
    EXPECT_GT(std::strlen(creditHandle(u)), 2u);
    EXPECT_STRNE(creditHandle(u), creditRole(u));
  }
}

TEST(ClownTiming, ACreditIsInvisibleAtAChangeAndOpaqueAtOnePointTwoBeatsFromIt) {
  for (float at : {12.0f, 24.0f, 36.0f, 42.0f, 48.0f, 54.0f, 60.0f, 66.0f, 72.0f}) {
    EXPECT_EQ(creditAlpha(at), 0.0f) << at;
    // (1.2 beats from 72 in single precision is a hair under 1.2)
    EXPECT_NEAR(creditAlpha(at + 1.2f), 1.0f, 1e-5f) << at;
    EXPECT_NEAR(creditAlpha(at - 1.2f), 1.0f, 1e-5f) << at;
    EXPECT_NEAR(creditAlpha(at + 0.6f), 0.5f, 1e-5f) << at;
  }
  EXPECT_EQ(creditAlpha(30.0f), 1.0f);
}

}  // namespace
