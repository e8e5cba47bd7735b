#include "util/objects3d/closed_surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

// One number per distinct position, equal positions (by value, so 0 and -0
// too) sharing theirs.
std::vector<uint32_t> distinctPositions(const std::vector<float>& source) {
  const size_t count = source.size() / 3;
  std::vector<uint32_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
  auto at = [&](uint32_t i) {
    return std::array<float, 3>{source[i * 3], source[i * 3 + 1], source[i * 3 + 2]};
  };
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return at(a) < at(b); });
  std::vector<uint32_t> number(count);
  uint32_t next = 0;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0 && at(order[k - 1]) < at(order[k])) ++next;
    number[order[k]] = next;
  }
  return number;
}

struct Edge {
  uint32_t low, high;
  bool forward;  // runs from low to high
  bool operator<(const Edge& other) const {
    if (low != other.low) return low < other.low;
    if (high != other.high) return high < other.high;
    return forward < other.forward;
  }
};

}  // namespace

bool isClosedSurface(const std::vector<float>& source, uint32_t stride, const std::vector<uint32_t>& corners) {
  if (corners.empty() || stride != 3) return false;
  for (float v : source)
    if (!std::isfinite(v)) return false;
  const std::vector<uint32_t> vertexOf = distinctPositions(source);

  std::vector<Edge> edges;
  edges.reserve(corners.size());
  double volume = 0.0;
  for (size_t t = 0; t + 2 < corners.size(); t += 3) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = vertexOf[corners[t + k]], b = vertexOf[corners[t + (k + 1) % 3]];
      edges.push_back({std::min(a, b), std::max(a, b), a < b});
    }
    const float* p[3];
    for (int k = 0; k < 3; ++k) p[k] = &source[static_cast<size_t>(corners[t + k]) * 3];
    volume += p[0][0] * (static_cast<double>(p[1][1]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][1]) -
              p[0][1] * (static_cast<double>(p[1][0]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][0]) +
              p[0][2] * (static_cast<double>(p[1][0]) * p[2][1] - static_cast<double>(p[1][1]) * p[2][0]);
  }
  // Sorted, every edge must come as a pair: once backward, then once
  // forward (a third use starts a pair that fails).
  std::sort(edges.begin(), edges.end());
  if (edges.size() % 2 != 0) return false;
  for (size_t i = 0; i < edges.size(); i += 2) {
    const Edge& back = edges[i];
    const Edge& front = edges[i + 1];
    if (back.low != front.low || back.high != front.high || back.forward || !front.forward) return false;
  }
  return volume > 0.0;
}
