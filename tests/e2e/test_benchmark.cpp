// The timedemo (--benchmark): the table per scene on standard output, every
// frame in the CSV file, and its plot.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "picture.h"
#include "process.h"
#include "tempfiles.h"
#include "xvfb.h"

namespace {

TEST(Benchmark, TheTimedemoPrintsATablePerSceneAndWritesEveryFrame) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running());
  TempDir dir;
  const std::string csv = dir.file("frames.csv");
  std::string table;
  // From the end of the tiles into the end text: a row for each and "all".
  const int code = runCapture({TINLANTERN_BIN, "--batch", "--gl-debug", "--benchmark", csv, "--start", "544",
                               "--end", "548", "--fps", "10", "--size", "160x90"},
                              {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"},
                              table, 120.0);
  ASSERT_EQ(code, 0) << table;
  EXPECT_NE(table.find("timedemo at 10 frames a second"), std::string::npos) << table;
  for (const char* row : {"\nTiles ", "\nEndtext ", "\nall "})
    EXPECT_NE(table.find(row), std::string::npos) << row << " in\n" << table;

  // Every frame: 4 beats at 10 frames a second and the show's tempo.
  std::istringstream lines(readFile(csv));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "frame,beat,scene,milliseconds");
  int frames = 0;
  double lastBeat = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string frame, beat, scene, ms;
    std::getline(fields, frame, ',');
    std::getline(fields, beat, ',');
    std::getline(fields, scene, ',');
    std::getline(fields, ms, ',');
    EXPECT_EQ(std::stoi(frame), frames);
    EXPECT_GT(std::stod(beat), lastBeat);
    EXPECT_GT(std::stod(ms), 0.0);
    lastBeat = std::stod(beat);
    ++frames;
  }
  EXPECT_GT(frames, 10);
  EXPECT_GE(lastBeat, 548.0 - 1e-3);
  EXPECT_LT(lastBeat, 549.0);

  // The plot: a picture of the frame times over the beats.
  std::string said;
  const std::string png = dir.file("plot.png");
  ASSERT_EQ(runCapture({"/usr/bin/python3", "tools/plot_benchmark.py", csv, png}, {}, said), 0) << said;
  const Picture plot = readPng(png);
  EXPECT_EQ(plot.width, 1600);
  EXPECT_EQ(plot.height, 600);
  EXPECT_NE(runCapture({"/usr/bin/python3", "tools/plot_benchmark.py", dir.file("none.csv"), png}, {}, said), 0);
}

}  // namespace
