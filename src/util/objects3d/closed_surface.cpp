#include "util/objects3d/closed_surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

// One number per distinct position, equal positions (by value, so 0 and -0
// too) sharing theirs.
std::vector<uint32_t> distinctPositions(const std::vector<float>& source) {
  struct Position {
    std::array<float, 3> at;
    uint32_t index;
  };
  const size_t count = source.size() / 3;
  std::vector<Position> sorted(count);
  for (size_t i = 0; i < count; ++i)
    sorted[i] = {{source[i * 3], source[i * 3 + 1], source[i * 3 + 2]}, static_cast<uint32_t>(i)};
  std::sort(sorted.begin(), sorted.end(), [](const Position& a, const Position& b) { return a.at < b.at; });
  std::vector<uint32_t> number(count);
  uint32_t next = 0;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0 && sorted[k - 1].at < sorted[k].at) ++next;
    number[sorted[k].index] = next;
  }
  return number;
}

// An edge between two distinct positions as one number that sorts by the
// pair and then by direction: low, high, and 1 when it runs from low to high.
uint64_t edgeKey(uint32_t a, uint32_t b) {
  const uint64_t low = std::min(a, b), high = std::max(a, b);
  return low << 33 | high << 1 | (a < b ? 1u : 0u);
}

}  // namespace

bool isClosedSurface(const std::vector<float>& source, uint32_t stride, const std::vector<uint32_t>& corners) {
  if (corners.empty() || stride != 3) return false;
  for (float v : source)
    if (!std::isfinite(v)) return false;
  const std::vector<uint32_t> vertexOf = distinctPositions(source);

  std::vector<uint64_t> edges;
  edges.reserve(corners.size());
  double volume = 0.0;
  for (size_t t = 0; t + 2 < corners.size(); t += 3) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = vertexOf[corners[t + k]], b = vertexOf[corners[t + (k + 1) % 3]];
      edges.push_back(edgeKey(a, b));
    }
    const float* p[3];
    for (int k = 0; k < 3; ++k) p[k] = &source[static_cast<size_t>(corners[t + k]) * 3];
    volume += p[0][0] * (static_cast<double>(p[1][1]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][1]) -
              p[0][1] * (static_cast<double>(p[1][0]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][0]) +
              p[0][2] * (static_cast<double>(p[1][0]) * p[2][1] - static_cast<double>(p[1][1]) * p[2][0]);
  }
  // Sorted, every edge must come as a pair: once backward, then once
  // forward (a third use starts a pair that fails). An edge from a position
  // to itself only ever runs backward.
  std::sort(edges.begin(), edges.end());
  if (edges.size() % 2 != 0) return false;
  for (size_t i = 0; i < edges.size(); i += 2)
    if ((edges[i] & 1) != 0 || edges[i + 1] != (edges[i] | 1)) return false;
  return volume > 0.0;
}
