#include "frames.h"

#include <gtest/gtest.h>

#include <utility>

#include "process.h"
#include "tempfiles.h"
#include "xvfb.h"

#ifndef TINLANTERN_BIN
#error "TINLANTERN_BIN names the program under test"
#endif

std::map<std::string, Picture> renderFrames(const std::vector<std::string>& beats,
                                            const std::string& size) {
  std::map<std::string, Picture> frames;
  XvfbServer xvfb;
  EXPECT_TRUE(xvfb.running()) << "Xvfb did not start";
  if (!xvfb.running()) return frames;
  TempDir dir;
  const std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11",
                                        "SDL_AUDIODRIVER=dummy"};
  std::vector<std::pair<std::string, Child>> children;
  for (const std::string& beat : beats)
    children.emplace_back(beat, spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", beat,
                                              "--out", dir.file(beat + ".png"), "--size", size},
                                             env));
  for (auto& [beat, child] : children) {
    EXPECT_EQ(waitProcess(child, 120), 0) << "beat " << beat << ": " << readFile(child.stderrPath);
    frames[beat] = readPng(dir.file(beat + ".png"));
  }
  return frames;
}
