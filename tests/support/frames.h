#pragma once
// Single frames of the show (--frame) at chosen beats, each rendered by its
// own process, all at once, on a private X server.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "picture.h"

// Renders every beat at `size` ("320x180") with --batch and --gl-debug;
// a failed render is a test failure that names the beat and holds the
// program's standard error, and leaves that beat's picture empty.
std::map<std::string, Picture> renderFrames(const std::vector<std::string>& beats,
                                            const std::string& size = "320x180");

// A suite whose tests look at frames rendered once for all of them: its
// SetUpTestSuite fills frames(), its tests read frame(beat).
template <class Suite>
class FramesTest : public ::testing::Test {
 protected:
  static std::map<std::string, Picture>& frames() {
    static auto* all = new std::map<std::string, Picture>;  // lives to the end of the process
    return *all;
  }
  static void TearDownTestSuite() { frames().clear(); }
  static const Picture& frame(const std::string& beat) {
    const Picture& picture = frames()[beat];
    EXPECT_GT(picture.width, 0) << "no frame for beat " << beat;
    return picture;
  }
};
