// Exact seek: the picture at a beat is the same however the show got there.
// A capture that starts at a slot's first beat and a single --frame at the
// beat of one of its frames show the same picture, because both first run
// the frames from the show's beginning with the scenes' step alone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "picture.h"
#include "process.h"
#include "tempfiles.h"
#include "util/music/midi.h"
#include "xvfb.h"

namespace {

constexpr int kFps = 10;

std::string frameName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", index);
  return name;
}

class Seek : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb_.running()) << "Xvfb did not start";
    env_ = {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
    std::string mid = readFile("data/common/music/sp10-invite.mid");
    MidiFile midi(reinterpret_cast<const uint8_t*>(mid.data()), mid.size());
    tempo_ = midi.tempo;
  }

  // Frame k of a run from the beginning shows this beat.
  double frameBeat(long k) const { return static_cast<double>(k) / kFps * tempo_ / 60.0 + 0.1; }
  // The first frame of that run at or after `beat`.
  long firstFrameAt(double beat) const {
    long k = 0;
    while (frameBeat(k) < beat - 1e-3) ++k;
    return k;
  }

  // Captures [from, to] and, for each of `frames` of that capture, renders
  // the single frame at its beat; both must show the same picture, and the
  // scene must move between the first and the last of them.
  void expectSamePictures(double from, double to, const std::vector<int>& frames) {
    std::string folder = dir_.file("capture");
    Child capture = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--capture", folder,
                                  "--start", std::to_string(from), "--end", std::to_string(to),
                                  "--fps", std::to_string(kFps), "--size", "320x180"},
                                 env_);
    std::vector<Child> singles;
    long first = firstFrameAt(from);
    for (int j : frames) {
      char beat[32];
      std::snprintf(beat, sizeof beat, "%.4f", frameBeat(first + j));
      singles.push_back(spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", beat,
                                      "--fps", std::to_string(kFps), "--out",
                                      dir_.file("single" + std::to_string(j) + ".png"), "--size",
                                      "320x180"},
                                     env_));
    }
    ASSERT_EQ(waitProcess(capture, 120), 0) << readFile(capture.stderrPath);
    std::string said = readFile(capture.stderrPath);
    if (from > 0) {
      EXPECT_NE(said.find("caught up to beat"), std::string::npos) << said;
    }
    // It stops after the frame at the end beat: the first at or after it.
    long last = firstFrameAt(to);
    EXPECT_EQ(access((folder + "/" + frameName(static_cast<int>(last - first))).c_str(), F_OK), 0);
    EXPECT_EQ(access((folder + "/" + frameName(static_cast<int>(last - first + 1))).c_str(), F_OK), -1);

    for (size_t i = 0; i < frames.size(); ++i) {
      ASSERT_EQ(waitProcess(singles[i], 120), 0) << readFile(singles[i].stderrPath);
      Picture captured = readPng(folder + "/" + frameName(frames[i]));
      Picture single = readPng(dir_.file("single" + std::to_string(frames[i]) + ".png"));
      ASSERT_EQ(captured.width, 320) << "frame " << frames[i];
      // llvmpipe renders the same commands to the same pixels: the same
      // state gives the same picture. (The storm's clouds, started late,
      // drift only far enough to change 2 % of the values by a level or two.)
      EXPECT_LT(meanDifference(captured, single), 1.0) << "frame " << frames[i];
      EXPECT_LT(differingShare(captured, single), 0.001) << "frame " << frames[i];
    }
    Picture early = readPng(folder + "/" + frameName(frames.front()));
    Picture late = readPng(folder + "/" + frameName(frames.back()));
    EXPECT_GT(meanDifference(early, late), 2.0) << "the scene moves in between";
  }

  XvfbServer xvfb_;
  std::vector<std::string> env_;
  double tempo_ = 0;
  TempDir dir_;
};

TEST_F(Seek, TheCodeAndTheMetaballsAtABeatAreWhereARunFromTheStartHasThem) {
  // The listing scrolls from the slot's first frame; the balls move by
  // every frame's beat step.
  expectSamePictures(354, 372, {5, 40, 80});
}

TEST_F(Seek, TheStormsCloudsAndTheDawnAtABeatAreWhereARunFromTheStartHasThem) {
  // The sky's clouds drift from the show's first frame; dawn's green stays.
  // The capture itself runs from the beginning: the reference as it is.
  expectSamePictures(0, 104, {200, 350, 480});
}

TEST_F(Seek, TheTrainAndItsFallingRailsAtABeatAreWhereARunFromTheStartHasThem) {
  // Across the first segment change (162): the rails, the segment and the camera.
  expectSamePictures(156, 168, {5, 30, 55});
}

TEST_F(Seek, TheClownsShakenCamerasAndFallingRingsAtABeatAreWhereARunFromTheStartHasThem) {
  // Across the seventh bell's jolt (322) into the loose rings, whose jolts
  // and camera drift accumulate frame by frame from 334.
  expectSamePictures(320, 344, {5, 60, 115});
}

TEST_F(Seek, ThePaintOnTheRobotsCanvasAtABeatIsWhereARunFromTheStartHasIt) {
  // The painter's canvas fills and its circle drifts from 390 to 402; the
  // screen shows the code and the metaballs of the same frames.
  expectSamePictures(396, 404, {5, 20, 38});
}

TEST_F(Seek, TheFlyingTilesAtABeatAreWhereARunFromTheStartHasThem) {
  // The tiles' start positions come from the show's seeded generator, drawn
  // at load; the flight follows the beat.
  expectSamePictures(450, 462, {5, 30, 55});
}

TEST_F(Seek, ALivePlayStopsAfterTheEndBeat) {
  // Half a beat of a live show (a quarter of a second), then exit code 0.
  Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--window", "160x90",
                             "--start", "400", "--end", "400.5"},
                            env_);
  EXPECT_EQ(waitProcess(show, 60), 0) << readFile(show.stderrPath);
  std::string said = readFile(show.stderrPath);
  EXPECT_NE(said.find("caught up to beat 400"), std::string::npos) << said;
  EXPECT_NE(said.find(" frames in "), std::string::npos) << said;
}

}  // namespace
