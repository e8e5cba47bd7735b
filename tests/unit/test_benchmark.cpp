// The timedemo's figures: the statistics of a row, the rows per set of
// scenes, and the CSV file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "main_benchmark.h"
#include "tempfiles.h"

namespace {

TEST(Benchmark, ARowHasTheMeanMedianNinetyNinthPercentileAndWorstInMilliseconds) {
  // 1 ms to 100 ms, shuffled: the 99th percentile is the 99th value.
  std::vector<double> seconds;
  for (int i = 100; i >= 1; --i) seconds.push_back(i / 1000.0);
  std::swap(seconds[3], seconds[70]);
  BenchmarkRow row = benchmarkRow("Tiles", seconds);
  EXPECT_EQ(row.frames, 100u);
  EXPECT_NEAR(row.mean, 50.5, 1e-9);
  EXPECT_NEAR(row.median, 50.5, 1e-9);
  EXPECT_NEAR(row.p99, 99.0, 1e-9);
  EXPECT_NEAR(row.worst, 100.0, 1e-9);
  EXPECT_NEAR(row.fps, 1000.0 / 50.5, 1e-9);
  // An odd count takes the middle value; a single frame is every figure.
  row = benchmarkRow("x", {0.003, 0.001, 0.002});
  EXPECT_NEAR(row.median, 2.0, 1e-9);
  EXPECT_NEAR(row.p99, 3.0, 1e-9);
  row = benchmarkRow("x", {0.02});
  EXPECT_NEAR(row.p99, 20.0, 1e-9);
  EXPECT_NEAR(row.median, 20.0, 1e-9);
  EXPECT_EQ(benchmarkRow("none", {}).frames, 0u);
}

TEST(Benchmark, FramesAreGroupedByTheScenesThatDrewThemInTheOrderTheyCame) {
  Benchmark benchmark({"Credits", "Train", "CodeScroller", "Metaballmarch"});
  benchmark.add(1.0f, 1u << 0, 0.010);
  benchmark.add(2.0f, 1u << 0, 0.030);
  benchmark.add(114.0f, (1u << 0) | (1u << 1), 0.050);  // both at the boundary
  benchmark.add(354.0f, (1u << 2) | (1u << 3), 0.020);
  benchmark.add(115.0f, 1u << 1, 0.040);
  const std::vector<BenchmarkRow> rows = benchmark.table();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].scene, "Credits");
  EXPECT_EQ(rows[0].frames, 2u);
  EXPECT_NEAR(rows[0].mean, 20.0, 1e-9);
  EXPECT_EQ(rows[1].scene, "Credits+Train");
  EXPECT_EQ(rows[2].scene, "CodeScroller+Metaballmarch");
  EXPECT_EQ(rows[3].scene, "Train");
  EXPECT_EQ(rows[4].scene, "all");
  EXPECT_EQ(rows[4].frames, 5u);
  EXPECT_NEAR(rows[4].worst, 50.0, 1e-9);
}

TEST(Benchmark, TheCsvHoldsEveryFrameWithItsBeatSceneAndTime) {
  Benchmark benchmark({"Credits", "Train"});
  benchmark.add(0.1f, 1u, 0.0125);
  benchmark.add(114.0f, 3u, 0.02);
  TempDir dir;
  const std::string path = dir.file("frames.csv");
  ASSERT_TRUE(benchmark.writeCsv(path));
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "frame,beat,scene,milliseconds\n0,0.1000,Credits,12.500\n1,114.0000,Credits+Train,20.000\n");
  EXPECT_FALSE(benchmark.writeCsv(dir.file("no/such/folder/frames.csv")));
}

}  // namespace
