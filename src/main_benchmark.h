#pragma once
// Benchmark: the timedemo's figures. Every frame of an offline run at a
// fixed frame rate is recorded with its beat, the scenes it drew and the
// time it took until the driver had finished it; at the end a table per
// scene (frames, mean, median, 99th percentile and worst frame time, frames
// a second) and a CSV file with every frame.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct BenchmarkFrame {
  float beat;
  uint32_t scenes;  // bit i: timeline scene i drew this frame
  double seconds;
};

struct BenchmarkRow {
  std::string scene;  // the scenes of the rows' frames, joined with "+"
  size_t frames = 0;
  double mean = 0, median = 0, p99 = 0, worst = 0;  // milliseconds
  double fps = 0;                                    // 1000 / mean
};

class Benchmark {
 public:
  // `names` are the timeline's scene names, in its order.
  explicit Benchmark(std::vector<std::string> names);

  // Room for a whole show at a high frame rate, so recording never allocates.
  void reserve(size_t frames) { frames_.reserve(frames); }
  void add(float beat, uint32_t scenes, double seconds) { frames_.push_back({beat, scenes, seconds}); }

  // One row per set of scenes, in the order they first drew, then "all".
  std::vector<BenchmarkRow> table() const;
  void printTable(FILE* out) const;
  // frame,beat,scene,milliseconds; false when the file cannot be written.
  bool writeCsv(const std::string& path) const;

  const std::vector<BenchmarkFrame>& frames() const { return frames_; }

 private:
  std::string label(uint32_t scenes) const;

  std::vector<std::string> names_;
  std::vector<BenchmarkFrame> frames_;
};

// The row of a set of frame times in seconds (sorted or not).
BenchmarkRow benchmarkRow(const std::string& scene, std::vector<double> seconds);
