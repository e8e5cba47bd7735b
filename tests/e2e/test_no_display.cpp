// With no display at all (a server: no X, no Wayland, SDL's offscreen
// driver), a live run plays with each frame finished before the next, in
// bounded memory, and interrupt and terminate signals end it; without a
// sound device too, it plays silently.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"

namespace {

const std::vector<std::string> kNoDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=",
                                             "SDL_AUDIODRIVER=dummy"};

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Resident memory in MB, or -1 when the process is gone.
long residentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  return -1;
}

TEST(NoDisplay, LiveRunFinishesEachFrameAndEndsOnInterrupt) {
  // The storm: the heaviest frames of the opening.
  Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--window", "640x360",
                             "--start", "20"},
                            kNoDisplay);
  ASSERT_TRUE(waitForStderr(show, " files in ", 30)) << readFile(show.stderrPath);
  sleepSeconds(4.0);
  // Queuing frames without bound grew past 2 GB in six seconds.
  long memory = residentMb(show.pid);
  EXPECT_GT(memory, 0);
  EXPECT_LT(memory, 700) << "MB after four seconds of frames";
  kill(show.pid, SIGINT);
  EXPECT_EQ(waitProcess(show, 15), 0) << readFile(show.stderrPath);
  std::string errors = readFile(show.stderrPath);
  EXPECT_NE(errors.find("there is no display"), std::string::npos) << errors;
  EXPECT_NE(errors.find(" frames in "), std::string::npos) << errors;
  EXPECT_EQ(errors.find("GL error"), std::string::npos) << errors;
}

TEST(NoDisplay, TerminateWhileLoadingEndsWith1) {
  Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--window", "640x360"}, kNoDisplay);
  // The driver's line comes just before loading begins.
  ASSERT_TRUE(waitForStderr(show, "anisotropic filtering", 30)) << readFile(show.stderrPath);
  kill(show.pid, SIGTERM);
  EXPECT_EQ(waitProcess(show, 15), 1) << readFile(show.stderrPath);
  EXPECT_EQ(readFile(show.stderrPath).find(" frames in "), std::string::npos)
      << "ended while loading, before any frame";
}

TEST(NoDisplay, WithoutASoundDeviceEitherTheShowPlaysSilentlyToItsEnd) {
  std::vector<std::string> env = kNoDisplay;
  env.back() = "SDL_AUDIODRIVER=no-such-device";
  Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--window", "320x180",
                             "--start", "579"},
                            env);
  EXPECT_EQ(waitProcess(show, 60), 0) << readFile(show.stderrPath);
  std::string errors = readFile(show.stderrPath);
  EXPECT_NE(errors.find("no sound device"), std::string::npos) << errors;
  EXPECT_NE(errors.find("the show plays silently"), std::string::npos) << errors;
  EXPECT_NE(errors.find(" frames in "), std::string::npos) << "it ran to the music's end";
}

TEST(NoDisplay, OfflinePicturesNeedNoDisplay) {
  char dir[] = "/tmp/tinlantern-nodisplay-XXXXXX";
  std::string folder = mkdtemp(dir);
  std::string png = folder + "/frame.png";
  Child frame = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", "400", "--out",
                              png, "--size", "320x180"},
                             kNoDisplay);
  EXPECT_EQ(waitProcess(frame, 60), 0) << readFile(frame.stderrPath);
  EXPECT_EQ(access(png.c_str(), R_OK), 0);
  unlink(png.c_str());
  rmdir(folder.c_str());
}

}  // namespace
