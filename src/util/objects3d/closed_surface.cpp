#include "util/objects3d/closed_surface.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;

// A power of two at least twice `count`: open addressing with short probes.
size_t tableSize(size_t count) {
  size_t size = 16;
  while (size < 2 * count) size *= 2;
  return size;
}

uint64_t mix(uint64_t key) {
  key ^= key >> 33;
  key *= 0xFF51AFD7ED558CCDull;
  key ^= key >> 33;
  return key;
}

// A coordinate's bits, with -0 as 0: equal numbers, equal bits (the values
// are finite here).
uint32_t bitsOf(float value) {
  if (value == 0.0f) value = 0.0f;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// One number per distinct position, equal positions (by value, so 0 and -0
// too) sharing theirs: the first position of each value stands for all.
std::vector<uint32_t> distinctPositions(const std::vector<float>& source) {
  const size_t count = source.size() / 3;
  std::vector<uint32_t> bits(count * 3);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = bitsOf(source[i]);
  const size_t mask = tableSize(count) - 1;
  std::vector<uint32_t> table(mask + 1, kEmpty);
  std::vector<uint32_t> number(count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t* p = &bits[i * 3];
    size_t slot = mix((uint64_t{p[0]} << 32 | p[1]) ^ mix(p[2])) & mask;
    for (;; slot = (slot + 1) & mask) {
      const uint32_t other = table[slot];
      if (other == kEmpty) {
        table[slot] = static_cast<uint32_t>(i);
        number[i] = static_cast<uint32_t>(i);
        break;
      }
      if (std::memcmp(&bits[size_t{other} * 3], p, 3 * sizeof(uint32_t)) == 0) {
        number[i] = other;
        break;
      }
    }
  }
  return number;
}

}  // namespace

bool isClosedSurface(const std::vector<float>& source, uint32_t stride, const std::vector<uint32_t>& corners) {
  if (corners.empty() || stride != 3) return false;
  for (float v : source)
    if (!std::isfinite(v)) return false;
  const std::vector<uint32_t> vertexOf = distinctPositions(source);

  // Every edge, from one distinct position to another, must be used once in
  // each direction: each direction at most once here, then each one's
  // reverse looked up. An edge from a position to itself never closes.
  const size_t triangles = corners.size() / 3;
  const size_t mask = tableSize(triangles * 3) - 1;
  constexpr uint64_t kNoEdge = ~uint64_t{0};  // a self edge, which never goes in
  std::vector<uint64_t> edges(mask + 1, kNoEdge);
  auto slotOf = [&](uint64_t edge) {
    size_t slot = mix(edge) & mask;
    while (edges[slot] != kNoEdge && edges[slot] != edge) slot = (slot + 1) & mask;
    return slot;
  };
  double volume = 0.0;
  for (size_t t = 0; t + 2 < corners.size(); t += 3) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = vertexOf[corners[t + k]], b = vertexOf[corners[t + (k + 1) % 3]];
      if (a == b) return false;
      const uint64_t edge = uint64_t{a} << 32 | b;
      const size_t slot = slotOf(edge);
      if (edges[slot] == edge) return false;  // the same way twice
      edges[slot] = edge;
    }
    const float* p[3];
    for (int k = 0; k < 3; ++k) p[k] = &source[static_cast<size_t>(corners[t + k]) * 3];
    volume += p[0][0] * (static_cast<double>(p[1][1]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][1]) -
              p[0][1] * (static_cast<double>(p[1][0]) * p[2][2] - static_cast<double>(p[1][2]) * p[2][0]) +
              p[0][2] * (static_cast<double>(p[1][0]) * p[2][1] - static_cast<double>(p[1][1]) * p[2][0]);
  }
  for (uint64_t edge : edges) {
    if (edge == kNoEdge) continue;
    const uint64_t reverse = edge << 32 | edge >> 32;
    if (edges[slotOf(reverse)] != reverse) return false;
  }
  return volume > 0.0;
}
