// The program itself: options, a windowed batch run under a private X
// server, the ways the show ends, and a fatal start-up error.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include <stb/stb_image.h>  // the implementation is in libstb

#include "process.h"
#include "util/music/audio.h"
#include "util/music/midi.h"
#include "xvfb.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const char* const kBinary = TINLANTERN_BIN;

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

struct Rgb {
  int r, g, b;
};

class ShowUnderXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb_.running()) << "Xvfb did not start";
    env_ = {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
    display_ = XOpenDisplay(xvfb_.display().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (show_.pid > 0) waitProcess(show_, 0);
    if (display_) XCloseDisplay(display_);
  }

  // Starts the show in a window and waits for the window to be shown: the
  // start-up may open a hidden one first and replace it (multisampling), so
  // only a visible one is the show's.
  void startShow(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {kBinary, "--batch", "--gl-debug"};
    args.insert(args.end(), extra.begin(), extra.end());
    show_ = spawnProcess(args, env_);
    std::string found;
    ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern"}, found), 0)
        << readFile(show_.stderrPath);
    window_ = std::stoul(found);
    waitUntilLoaded();
    sleepSeconds(0.5);  // let it draw some frames
  }

  // The window opens before loading; Escape while loading ends with code 1.
  void waitUntilLoaded() {
    for (int i = 0; i < 600 && showErrors().find(" files in ") == std::string::npos; ++i)
      sleepSeconds(0.05);
    ASSERT_NE(showErrors().find(" files in "), std::string::npos) << showErrors();
  }

  int xdotool(const std::vector<std::string>& args, std::string& output) {
    return runCapture(prefixed(args), env_, output, 20.0);
  }

  // xdotool's wait for focus never ends when the focus request was refused:
  // a focus that did not come is asked for again.
  void sendKeys(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"windowfocus", "--sync", std::to_string(window_)};
    args.insert(args.end(), keys.begin(), keys.end());
    std::string ignored;
    int code = -1;
    for (int attempt = 0; attempt < 3 && code != 0; ++attempt) code = runCapture(prefixed(args), env_, ignored, 8.0);
    ASSERT_EQ(code, 0) << ignored;
  }

  static std::vector<std::string> prefixed(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    return args;
  }

  Rgb pixel(int x, int y) {
    XImage* image = XGetImage(display_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    unsigned long value = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {static_cast<int>((value >> 16) & 0xff), static_cast<int>((value >> 8) & 0xff),
            static_cast<int>(value & 0xff)};
  }

  std::string showErrors() { return readFile(show_.stderrPath); }

  XvfbServer xvfb_;
  std::vector<std::string> env_;
  Display* display_ = nullptr;
  Window window_ = 0;
  Child show_;
};

// A folder holding only a copy of the program (no data.mvl), so that runs
// which read or write the archive touch nothing of the build's.
std::string lonelyCopy() {
  char dir[] = "/tmp/tinlantern-alone-XXXXXX";
  std::string path = mkdtemp(dir);
  std::string out;
  EXPECT_EQ(runCapture({"cp", kBinary, path + "/tinlantern"}, {}, out), 0);
  return path;
}

void removeCopy(const std::string& dir) {
  std::string out;
  runCapture({"rm", "-rf", dir}, {}, out);
}

std::string frameName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", index);
  return name;
}

bool isBlack(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

TEST(Options, UnknownOptionPrintsUsageAndExitsWith2) {
  Child child = spawnProcess({kBinary, "--no-such-option"}, {});
  EXPECT_EQ(waitProcess(child, 20), 2);
  std::string errors = readFile(child.stderrPath);
  EXPECT_NE(errors.find("unknown option --no-such-option"), std::string::npos) << errors;
  EXPECT_NE(errors.find("usage: tinlantern"), std::string::npos) << errors;
}

TEST(Options, MalformedValuesAreRejected) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"--window", "640"}, {"--window"}, {"--samples", "3"}, {"--vsync", "2"}}) {
    args.insert(args.begin(), kBinary);
    std::string out;
    EXPECT_EQ(runCapture(args, {}, out), 2) << args[1];
  }
}

TEST(Options, HelpAndVersionNeedNoDisplay) {
  std::string out;
  EXPECT_EQ(runCapture({kBinary, "--help"}, {"DISPLAY="}, out), 0);
  EXPECT_NE(out.find("--window WxH"), std::string::npos);
  EXPECT_EQ(runCapture({kBinary, "--version"}, {"DISPLAY="}, out), 0);
  EXPECT_EQ(out.rfind("tinlantern ", 0), 0u) << out;
}

TEST(FatalErrors, VideoInitFailureReportsAndExitsWith1) {
  Child child = spawnProcess({kBinary, "--batch", "--gl-debug", "--window", "640x360"},
                             {"SDL_VIDEODRIVER=no-such-driver"});
  EXPECT_EQ(waitProcess(child, 20), 1);
  std::string errors = readFile(child.stderrPath);
  EXPECT_TRUE(::testing::internal::RE::PartialMatch(
      errors, ::testing::internal::RE("^Error in file src/[a-z_/]+\\.cpp:[0-9]+\n\n"
                                      "Video initialization failed: ")))
      << errors;
}

TEST_F(ShowUnderXvfb, MissingDataFileIsFatal) {
  // A copy of the program with no data.mvl beside it or in its working directory.
  std::string dir = lonelyCopy();
  Child child =
      spawnProcess({"sh", "-c", "cd " + dir + " && ./tinlantern --batch --gl-debug --window 320x180"}, env_);
  EXPECT_EQ(waitProcess(child, 20), 1);
  std::string errors = readFile(child.stderrPath);
  EXPECT_NE(errors.find("\n\nFailed to open data file data.mvl for reading.\n"), std::string::npos)
      << errors;
  removeCopy(dir);
}

TEST_F(ShowUnderXvfb, PackingWritesWhatTheShowOpensAndTheShowReadsIt) {
  // Packed from the plain data/ tree of the working directory (the
  // repository), written beside the copy of the program.
  std::string dir = lonelyCopy();
  show_ = spawnProcess({dir + "/tinlantern", "--batch", "--gl-debug", "--window", "160x90", "--pack"}, env_);
  std::string found;
  ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern"}, found), 0);
  window_ = std::stoul(found);
  waitUntilLoaded();
  sendKeys({"key", "Escape"});
  ASSERT_EQ(waitProcess(show_, 30), 0) << showErrors();

  std::string listing;
  ASSERT_EQ(runCapture({MVLTOOL_BIN, "list", dir + "/data.mvl"}, {}, listing), 0);
  // Every file the show opened, in the order it opened them.
  EXPECT_LT(listing.find("data/common/music/sp10-invite.xml"),
            listing.find("data/common/music/sp10-invite.ogg"));
  EXPECT_LT(listing.find("data/common/music/sp10-invite.ogg"),
            listing.find("data/common/music/sp10-invite.mid"));
  EXPECT_NE(listing.find("data/common/music/lfo-rates.xml"), std::string::npos);

  // The copy now plays from its own archive, from any working directory.
  show_ = spawnProcess({"sh", "-c", "cd / && exec " + dir + "/tinlantern --batch --gl-debug --window 160x90"}, env_);
  ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern"}, found), 0);
  window_ = std::stoul(found);
  waitUntilLoaded();
  sendKeys({"key", "Escape"});
  EXPECT_EQ(waitProcess(show_, 30), 0) << showErrors();
  removeCopy(dir);
}

TEST_F(ShowUnderXvfb, DrawsLetterboxedFramesAndEscapeReleaseEndsWith0) {
  // 640x480 is taller than 16:9: the picture is 360 high with 60-pixel bands.
  startShow({"--window", "640x480", "--start", "200"});  // a slot that fills its picture
  // The first frame of a scene can take a while on a software renderer
  // (its shaders are compiled then): wait for the picture to be there.
  for (int i = 0; i < 100 && (isBlack(pixel(320, 60)) || isBlack(pixel(320, 419))); ++i) sleepSeconds(0.1);
  EXPECT_TRUE(isBlack(pixel(320, 30)));
  EXPECT_TRUE(isBlack(pixel(320, 450)));
  Rgb inside = pixel(320, 240);
  EXPECT_FALSE(isBlack(inside)) << "the slot's picture is cleared to its colour";
  EXPECT_TRUE(isBlack(pixel(320, 59)) && !isBlack(pixel(320, 60)) && !isBlack(pixel(320, 419)) &&
              isBlack(pixel(320, 420)));

  sendKeys({"key", "Escape"});
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
  EXPECT_NE(showErrors().find(" frames in "), std::string::npos) << showErrors();
}

TEST_F(ShowUnderXvfb, ResizeMovesThePictureOnTheNextFrames) {
  startShow({"--window", "640x360", "--start", "200"});
  // The first frame of a scene can take a while on a software renderer, more
  // so on a busy machine: wait for the picture, and then for the new layout.
  // (Once, under a full parallel run here, ten seconds were not enough.)
  for (int i = 0; i < 300 && isBlack(pixel(320, 5)); ++i) sleepSeconds(0.1);
  EXPECT_FALSE(isBlack(pixel(320, 5)));  // exactly 16:9: no bands
  std::string ignored;
  ASSERT_EQ(xdotool({"windowsize", "--sync", std::to_string(window_), "800", "600"}, ignored), 0);
  for (int i = 0; i < 100 && (!isBlack(pixel(400, 74)) || isBlack(pixel(400, 524))); ++i)
    sleepSeconds(0.1);
  // 800x600: a 450-pixel picture at y = 75.
  EXPECT_TRUE(isBlack(pixel(400, 74)));
  EXPECT_FALSE(isBlack(pixel(400, 75)));
  EXPECT_FALSE(isBlack(pixel(400, 524)));
  EXPECT_TRUE(isBlack(pixel(400, 525)));
  sendKeys({"key", "Escape"});
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
}

TEST_F(ShowUnderXvfb, EscapePressAloneEndsTheShowNormally) {
  startShow({"--window", "320x180", "--samples", "0"});
  sendKeys({"keydown", "Escape"});
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
  EXPECT_NE(showErrors().find(" frames in "), std::string::npos) << showErrors();
}

TEST_F(ShowUnderXvfb, QuitRequestEndsTheShowNormally) {
  startShow({"--window", "320x180"});
  kill(show_.pid, SIGTERM);  // arrives as the window's quit event
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
  EXPECT_NE(showErrors().find(" frames in "), std::string::npos) << showErrors();
}

// The colour of one pixel of a PNG file, or -1s when it cannot be read.
Rgb pngPixel(const std::string& path, int x, int y, int* width = nullptr, int* height = nullptr) {
  int w, h, channels;
  unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &channels, 3);
  if (!pixels) return {-1, -1, -1};
  if (width) *width = w;
  if (height) *height = h;
  const unsigned char* p = pixels + (static_cast<size_t>(y) * w + x) * 3;
  Rgb colour = {p[0], p[1], p[2]};
  stbi_image_free(pixels);
  return colour;
}

TEST_F(ShowUnderXvfb, SingleFrameAtABeat) {
  std::string dir = lonelyCopy();
  for (const char* beat : {"200", "300"}) {
    std::string png = dir + "/beat" + beat + ".png";
    Child child = spawnProcess({kBinary, "--batch", "--gl-debug", "--frame", beat, "--out", png, "--size", "160x120"}, env_);
    ASSERT_EQ(waitProcess(child, 60), 0) << readFile(child.stderrPath);
  }
  int width = 0, height = 0;
  Rgb train = pngPixel(dir + "/beat200.png", 80, 60, &width, &height);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  Rgb clown = pngPixel(dir + "/beat300.png", 80, 60);
  EXPECT_FALSE(isBlack(train));
  EXPECT_FALSE(isBlack(clown));
  EXPECT_NE(train.r, clown.r) << "beat 300 lies in another scene's slot";
  // 160x120 is taller than 16:9: a 90-pixel picture with black bands.
  EXPECT_TRUE(isBlack(pngPixel(dir + "/beat200.png", 80, 5)));
  removeCopy(dir);
}

// The warm-up steps every scene once and draws it unseen at its slot's first
// beat while loading, then rewinds it: what a frame shows is the same
// without it, in every scene's slot.
TEST_F(ShowUnderXvfb, TheWarmUpLeavesNoTrace) {
  std::string dir = lonelyCopy();
  for (const char* beat : {"60", "200", "330", "420", "520", "560"}) {
    std::string pictures[2];
    for (int warm = 0; warm < 2; ++warm) {
      pictures[warm] = dir + "/beat" + beat + (warm ? "-warm.png" : "-cold.png");
      std::vector<std::string> args = {kBinary, "--batch", "--gl-debug", "--frame", beat,
                                        "--out", pictures[warm], "--size", "160x90"};
      if (!warm) args.push_back("--no-warm-up");
      Child child = spawnProcess(args, env_);
      ASSERT_EQ(waitProcess(child, 60), 0) << readFile(child.stderrPath);
    }
    const std::string cold = readFile(pictures[0]), warm = readFile(pictures[1]);
    EXPECT_FALSE(cold.empty());
    EXPECT_TRUE(cold == warm) << "beat " << beat;
  }
  removeCopy(dir);
}

TEST_F(ShowUnderXvfb, CaptureWritesEveryFrameToTheEndOfTheMusic) {
  // How long the music is, read the way the program reads it.
  std::string ogg = readFile("data/common/music/sp10-invite.ogg");
  ASSERT_FALSE(ogg.empty()) << "run from the repository root, after the asset generator";
  auto stream = AudioStream::open(reinterpret_cast<const uint8_t*>(ogg.data()), ogg.size());
  ASSERT_TRUE(stream);
  double seconds = stream->bytesToSeconds(stream->lengthBytes());
  std::string mid = readFile("data/common/music/sp10-invite.mid");
  MidiFile midi(reinterpret_cast<const uint8_t*>(mid.data()), mid.size());

  std::string dir = lonelyCopy();
  const int fps = 5;
  const double startSeconds = seconds - 3.0;
  // Start three seconds before the end: beat = seconds x tempo / 60 + 0.1.
  std::string startBeat = std::to_string(startSeconds * midi.tempo / 60.0 + 0.1);
  Child child = spawnProcess({kBinary, "--batch", "--gl-debug", "--capture", dir + "/frames", "--fps",
                              std::to_string(fps), "--size", "64x36", "--start", startBeat},
                             env_);
  ASSERT_EQ(waitProcess(child, 120), 0) << readFile(child.stderrPath);
  // Frames until the one that finds the stream stopped, and one more after it.
  int expected = static_cast<int>(std::ceil(3.0 * fps - 1e-6)) + 2;
  int found = 0;
  while (access((dir + "/frames/" + frameName(found)).c_str(), F_OK) == 0) ++found;
  EXPECT_NEAR(found, expected, 1);
  removeCopy(dir);
}

TEST_F(ShowUnderXvfb, UnavailableMultisamplingFallsBackInsteadOfFailing) {
  // llvmpipe under Xvfb has no 16x visual.
  startShow({"--window", "320x180", "--samples", "16"});
  sendKeys({"key", "Escape"});
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
}

}  // namespace

namespace {

// The set-up dialog, opened through GTK (loaded at run time): a small window
// under the show's caption, before any window of the show's own.
class SetUpDialog : public ShowUnderXvfb {
 protected:
  void openDialog() {
    show_ = spawnProcess({kBinary, "--end", "1", "--gl-debug"}, env_);
    std::string found;
    ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern"}, found), 0)
        << showErrors();
    window_ = std::stoul(found);
    std::string geometry;
    ASSERT_EQ(xdotool({"getwindowgeometry", std::to_string(window_)}, geometry), 0);
    int width = 0, height = 0;
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("Geometry: ") + 10, "%dx%d", &width, &height), 2)
        << geometry;
    EXPECT_LT(width, 600) << "the dialog is a small window: " << geometry;
    EXPECT_LT(height, 400) << geometry;
  }
};

TEST_F(SetUpDialog, RunItStartsTheShow) {
  openDialog();
  sleepSeconds(0.5);
  sendKeys({"key", "Return"});  // "Run it" is the default button
  EXPECT_EQ(waitProcess(show_, 60), 0) << showErrors();
  // The show opened its GL context (--gl-debug says so) after the dialog.
  EXPECT_NE(showErrors().find("GL debug output"), std::string::npos) << showErrors();
  EXPECT_EQ(showErrors().find("no set-up dialog"), std::string::npos) << showErrors();
}

TEST_F(SetUpDialog, ClosingItEndsWithoutTheShow) {
  openDialog();
  sleepSeconds(0.5);
  sendKeys({"key", "Escape"});
  EXPECT_EQ(waitProcess(show_, 20), 0) << showErrors();
  EXPECT_EQ(showErrors().find("GL debug output"), std::string::npos) << "the show started: " << showErrors();
}

}  // namespace
