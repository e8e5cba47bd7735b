#include "main_benchmark.h"

#include <algorithm>
#include <cmath>
#include <utility>

Benchmark::Benchmark(std::vector<std::string> names) : names_(std::move(names)) {}

std::string Benchmark::label(uint32_t scenes) const {
  std::string joined;
  for (size_t i = 0; i < names_.size() && i < 32; ++i) {
    if (!(scenes & (1u << i))) continue;
    if (!joined.empty()) joined += "+";
    joined += names_[i];
  }
  return joined.empty() ? "(none)" : joined;
}

BenchmarkRow benchmarkRow(const std::string& scene, std::vector<double> seconds) {
  BenchmarkRow row;
  row.scene = scene;
  row.frames = seconds.size();
  if (seconds.empty()) return row;
  std::sort(seconds.begin(), seconds.end());
  double sum = 0;
  for (double s : seconds) sum += s;
  const size_t n = seconds.size();
  row.mean = 1000.0 * sum / static_cast<double>(n);
  row.median = 1000.0 * (n % 2 ? seconds[n / 2] : 0.5 * (seconds[n / 2 - 1] + seconds[n / 2]));
  // The nearest-rank 99th percentile: the smallest time that 99 % of the
  // frames do not exceed.
  const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n)));
  row.p99 = 1000.0 * seconds[std::max<size_t>(rank, 1) - 1];
  row.worst = 1000.0 * seconds.back();
  row.fps = row.mean > 0 ? 1000.0 / row.mean : 0;
  return row;
}

std::vector<BenchmarkRow> Benchmark::table() const {
  std::vector<uint32_t> order;
  for (const BenchmarkFrame& f : frames_)
    if (std::find(order.begin(), order.end(), f.scenes) == order.end()) order.push_back(f.scenes);
  std::vector<BenchmarkRow> rows;
  std::vector<double> all;
  for (uint32_t scenes : order) {
    std::vector<double> times;
    for (const BenchmarkFrame& f : frames_)
      if (f.scenes == scenes) times.push_back(f.seconds);
    rows.push_back(benchmarkRow(label(scenes), times));
  }
  for (const BenchmarkFrame& f : frames_) all.push_back(f.seconds);
  rows.push_back(benchmarkRow("all", all));
  return rows;
}

void Benchmark::printTable(FILE* out) const {
  std::fprintf(out, "%-40s %7s %9s %9s %9s %9s %7s\n", "scene", "frames", "mean ms", "median", "99th %",
               "worst", "fps");
  for (const BenchmarkRow& r : table())
    std::fprintf(out, "%-40s %7zu %9.2f %9.2f %9.2f %9.2f %7.1f\n", r.scene.c_str(), r.frames, r.mean,
                 r.median, r.p99, r.worst, r.fps);
}

bool Benchmark::writeCsv(const std::string& path) const {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  std::fprintf(file, "frame,beat,scene,milliseconds\n");
  for (size_t i = 0; i < frames_.size(); ++i)
    std::fprintf(file, "%zu,%.4f,%s,%.3f\n", i, frames_[i].beat, label(frames_[i].scenes).c_str(),
                 1000.0 * frames_[i].seconds);
  return std::fclose(file) == 0;
}
