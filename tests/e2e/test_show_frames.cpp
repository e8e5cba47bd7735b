// Single frames of the show at chosen beats (--frame), each compared with
// what that beat must show: the opening's fades, logos, lightning, text and
// dawn, and the end text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <stb/stb_image.h>  // the implementation is in libstb

#include "process.h"
#include "xvfb.h"

namespace {

constexpr int kWidth = 320, kHeight = 180;  // exactly 16:9: the picture fills the frame

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  // Calls f(pixel) for every pixel of the rectangle, given in fractions of
  // the picture with y from the top; returns the number of pixels.
  template <class F>
  int each(double x0, double y0, double x1, double y1, F f) const {
    int n = 0;
    for (int y = static_cast<int>(y0 * height); y < static_cast<int>(y1 * height); ++y)
      for (int x = static_cast<int>(x0 * width); x < static_cast<int>(x1 * width); ++x, ++n)
        f(&rgb[(static_cast<size_t>(y) * width + x) * 3]);
    return n;
  }
  // Mean of channel c (0..2, or 3 for all) over the rectangle.
  double mean(double x0, double y0, double x1, double y1, int c = 3) const {
    double sum = 0;
    int n = each(x0, y0, x1, y1, [&](const unsigned char* p) {
      sum += c == 3 ? (p[0] + p[1] + p[2]) / 3.0 : p[c];
    });
    return n ? sum / n : 0.0;
  }
  // Pixels in the rectangle with every channel at least `level`.
  int brightPixels(double x0, double y0, double x1, double y1, int level = 230) const {
    int bright = 0;
    each(x0, y0, x1, y1, [&](const unsigned char* p) {
      bright += p[0] >= level && p[1] >= level && p[2] >= level;
    });
    return bright;
  }
  // Bright pixels where red leads blue: the group logo's gold and lamp light.
  int warmPixels(double x0, double y0, double x1, double y1) const {
    int warm = 0;
    each(x0, y0, x1, y1, [&](const unsigned char* p) { warm += p[0] > 150 && p[0] > p[2] + 20; });
    return warm;
  }
  double whole() const { return mean(0, 0, 1, 1); }
};

// Renders every beat in its own process, all at once, and reads the frames.
class ShowFrames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    xvfb_ = new XvfbServer;
    ASSERT_TRUE(xvfb_->running()) << "Xvfb did not start";
    char dir[] = "/tmp/tinlantern-frames-XXXXXX";
    dir_ = mkdtemp(dir);
    const std::vector<std::string> env = {"DISPLAY=" + xvfb_->display(), "SDL_VIDEODRIVER=x11",
                                          "SDL_AUDIODRIVER=dummy"};
    const char* beats[] = {"0",  "10", "19", "20",  "41.9", "42", "45",
                           "51", "53", "65", "112", "560",  "575.5", "579"};
    std::vector<std::pair<std::string, Child>> children;
    for (const char* beat : beats) {
      std::string png = dir_ + "/" + beat + ".png";
      children.emplace_back(beat, spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", beat, "--out",
                                                png, "--size", "320x180"},
                                               env));
    }
    for (auto& [beat, child] : children) {
      int code = waitProcess(child, 120);
      EXPECT_EQ(code, 0) << "beat " << beat << ": " << readFile(child.stderrPath);
      Image& image = (*frames_)[beat];
      int channels = 0;
      unsigned char* pixels =
          stbi_load((dir_ + "/" + beat + ".png").c_str(), &image.width, &image.height, &channels, 3);
      if (!pixels) continue;
      image.rgb.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 3);
      stbi_image_free(pixels);
    }
  }
  static void TearDownTestSuite() {
    std::string out;
    runCapture({"rm", "-rf", dir_}, {}, out);
    delete xvfb_;
    frames_->clear();
  }

  const Image& frame(const std::string& beat) {
    const Image& image = (*frames_)[beat];
    EXPECT_EQ(image.width, kWidth) << "no frame for beat " << beat;
    EXPECT_EQ(image.height, kHeight);
    return image;
  }

  static XvfbServer* xvfb_;
  static std::string dir_;
  static std::map<std::string, Image>* frames_;
};

XvfbServer* ShowFrames::xvfb_ = nullptr;
std::string ShowFrames::dir_;
std::map<std::string, Image>* ShowFrames::frames_ = new std::map<std::string, Image>;

TEST_F(ShowFrames, TheOpeningStartsFromBlack) {
  EXPECT_LT(frame("0").whole(), 1.0);
}

TEST_F(ShowFrames, TheGroupLogoShowsTwoBeatsAfterTheFirstCue) {
  // The first flash (beat 8) is the first cue; two beats on, the fade-in is
  // at 20 % black and the logo is at full strength in the middle.
  const Image& logo = frame("10");
  const Image& black = frame("0");
  EXPECT_GT(logo.mean(0.3, 0.35, 0.7, 0.65), black.mean(0.3, 0.35, 0.7, 0.65) + 20.0);
  EXPECT_GT(logo.warmPixels(0.2, 0.25, 0.8, 0.75), 200) << "the lantern and the gold lettering";
  EXPECT_EQ(frame("20").warmPixels(0, 0.75, 1, 1), 0) << "nothing gold in the night below it";
}

TEST_F(ShowFrames, ALightningFlashIsBrighterThanTheBeatAfter) {
  // The soundtrack's second flash is on beat 19.
  EXPECT_GT(frame("19").mean(0, 0, 1, 0.6), frame("20").mean(0, 0, 1, 0.6) + 15.0);
}

TEST_F(ShowFrames, LinesAppearBetweenTheirCues) {
  // The text band: from 0.45 of the picture's height up, counted from the top.
  auto band = [&](const char* beat) { return frame(beat).brightPixels(0.04, 0.3, 0.96, 0.56); };
  EXPECT_EQ(band("42"), 0) << "on the cue the line has alpha 0";
  EXPECT_GT(band("45"), 300) << "the event line";
  EXPECT_EQ(band("51"), 0);
  EXPECT_GT(band("53"), band("45")) << "the invitation line is the longest";
  EXPECT_GT(band("65"), 100) << "the party's first word";
  // Before the event line the partner logo is there, not white text.
  EXPECT_LT(band("41.9"), band("45"));
}

TEST_F(ShowFrames, DawnTurnsTheLandscapeGreen) {
  const Image& dawn = frame("112");
  const Image& night = frame("65");
  // The lowest strip is the nearest ground.
  EXPECT_GT(dawn.mean(0, 0.9, 1, 1, 1), dawn.mean(0, 0.9, 1, 1, 0));
  EXPECT_GT(dawn.mean(0, 0, 1, 0.3), night.mean(0, 0, 1, 0.3)) << "daylight in the sky";
}

TEST_F(ShowFrames, TheEndTextAndItsFades) {
  const Image& text = frame("560");
  EXPECT_GT(text.brightPixels(0.15, 0.05, 0.9, 0.95), 1000);
  EXPECT_EQ(text.brightPixels(0, 0, 0.14, 1), 0) << "the lines start at 0.15 of the width";
  EXPECT_EQ(frame("575.5").brightPixels(0, 0, 1, 1), 0) << "half way to black";
  EXPECT_GT(frame("575.5").whole(), 2.0);
  EXPECT_LT(frame("579").whole(), 0.5) << "gone at the end beat";
}

}  // namespace
