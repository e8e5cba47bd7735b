// The toy train's slot at chosen beats (--frame): the fades, the train and
// its track in the picture, the caption lines, and the exact seek.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "picture.h"
#include "process.h"
#include "tempfiles.h"
#include "xvfb.h"

namespace {

class TrainFrames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    xvfb_ = new XvfbServer;
    ASSERT_TRUE(xvfb_->running()) << "Xvfb did not start";
    dir_ = new TempDir;
    const std::vector<std::string> env = {"DISPLAY=" + xvfb_->display(), "SDL_VIDEODRIVER=x11",
                                          "SDL_AUDIODRIVER=dummy"};
    std::vector<std::pair<std::string, Child>> children;
    for (const char* beat : {"114", "130", "132", "183", "222", "240", "253", "257.9"})
      children.emplace_back(beat, spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame",
                                                beat, "--out", dir_->file(std::string(beat) + ".png"),
                                                "--size", "320x180"},
                                               env));
    for (auto& [beat, child] : children) {
      EXPECT_EQ(waitProcess(child, 120), 0) << "beat " << beat << ": " << readFile(child.stderrPath);
      (*frames_)[beat] = readPng(dir_->file(beat + ".png"));
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    delete xvfb_;
    frames_->clear();
  }

  const Picture& frame(const std::string& beat) {
    const Picture& picture = (*frames_)[beat];
    EXPECT_EQ(picture.width, 320) << "no frame for beat " << beat;
    return picture;
  }
  // Mean grey level of a rectangle given in fractions of the picture, y from the top.
  static double mean(const Picture& p, double x0, double y0, double x1, double y1) {
    double sum = 0;
    int n = 0;
    for (int y = int(y0 * p.height); y < int(y1 * p.height); ++y)
      for (int x = int(x0 * p.width); x < int(x1 * p.width); ++x, ++n) {
        const unsigned char* c = &p.rgb[(size_t(y) * p.width + x) * 3];
        sum += (c[0] + c[1] + c[2]) / 3.0;
      }
    return n ? sum / n : 0;
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

  static XvfbServer* xvfb_;
  static TempDir* dir_;
  static std::map<std::string, Picture>* frames_;
};

XvfbServer* TrainFrames::xvfb_ = nullptr;
TempDir* TrainFrames::dir_ = nullptr;
std::map<std::string, Picture>* TrainFrames::frames_ = new std::map<std::string, Picture>;

TEST_F(TrainFrames, FadesInFromBlackAndOutToBlack) {
  EXPECT_LT(mean(frame("114"), 0, 0, 1, 1), 1.0);
  EXPECT_LT(mean(frame("257.9"), 0, 0, 1, 1), 8.0) << "a tenth of a beat before the end";
  EXPECT_GT(mean(frame("130"), 0, 0, 1, 1), 40.0) << "a lit toy world in between";
}

TEST_F(TrainFrames, TheTrainIsInThePicture) {
  // Coming towards camera 0, then close beside cameras 2 and 1.
  for (const char* beat : {"132", "222", "240"})
    EXPECT_GT(paint(frame(beat)), 200) << "the train's paint at beat " << beat;
  EXPECT_LT(paint(frame("114")), 10);
}

TEST_F(TrainFrames, CaptionLinesComeAndGo) {
  EXPECT_GT(caption(frame("183")), 150) << "the month line";
  EXPECT_EQ(caption(frame("253")), 0) << "after the last line";
  EXPECT_EQ(caption(frame("130")), 0) << "before the first";
}

}  // namespace
