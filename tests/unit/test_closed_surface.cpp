// Closed, outward surfaces: what lets a model be drawn with back faces culled.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "util/objects3d/closed_surface.h"

namespace {

// A tetrahedron's four corners and its faces, counter-clockwise seen from outside.
const std::vector<float> kCorners = {0, 0, 1, -1, -1, -1, 1, -1, -1, 0, 1, -1};
const std::vector<uint32_t> kOutward = {1, 3, 2, 0, 1, 2, 0, 2, 3, 0, 3, 1};

std::vector<uint32_t> reversed(std::vector<uint32_t> corners) {
  for (size_t t = 0; t + 2 < corners.size(); t += 3) std::swap(corners[t + 1], corners[t + 2]);
  return corners;
}

TEST(ClosedSurface, OutwardTetrahedronIsClosedInsideOutOrOpenIsNot) {
  EXPECT_TRUE(isClosedSurface(kCorners, 3, kOutward));
  EXPECT_FALSE(isClosedSurface(kCorners, 3, reversed(kOutward))) << "negative volume";
  std::vector<uint32_t> open(kOutward.begin(), kOutward.end() - 3);
  EXPECT_FALSE(isClosedSurface(kCorners, 3, open)) << "a face missing";
  EXPECT_FALSE(isClosedSurface(kCorners, 3, {})) << "nothing";
  EXPECT_FALSE(isClosedSurface(kCorners, 2, kOutward)) << "flat positions";
}

TEST(ClosedSurface, RepeatedPositionsJoinByValue) {
  // The apex again as position 4, and as -0 for 0 in position 5's x: a seam
  // that repeats positions for other normals still closes the surface.
  std::vector<float> seam = kCorners;
  seam.insert(seam.end(), {0, 0, 1, -0.0f, 1, -1});
  EXPECT_TRUE(isClosedSurface(seam, 3, {1, 5, 2, 0, 1, 2, 4, 2, 3, 0, 3, 1}));
}

TEST(ClosedSurface, EdgesUsedOtherThanOnceEachWayAreNotClosed) {
  // Two faces the same way round along one edge.
  std::vector<uint32_t> flipped = kOutward;
  std::swap(flipped[1], flipped[2]);
  EXPECT_FALSE(isClosedSurface(kCorners, 3, flipped));
  // The tetrahedron twice over: every edge four times.
  std::vector<uint32_t> twice = kOutward;
  twice.insert(twice.end(), kOutward.begin(), kOutward.end());
  EXPECT_FALSE(isClosedSurface(kCorners, 3, twice));
  // A degenerate triangle (an edge from a point to itself) added.
  std::vector<uint32_t> degenerate = kOutward;
  degenerate.insert(degenerate.end(), {0, 0, 1});
  EXPECT_FALSE(isClosedSurface(kCorners, 3, degenerate));
}

TEST(ClosedSurface, PositionsThatAreNotNumbersAreNotClosed) {
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    std::vector<float> corners = kCorners;
    corners[4] = bad;
    EXPECT_FALSE(isClosedSurface(corners, 3, kOutward));
  }
}

// A cube of n x n squares a side, centred on the origin, counter-clockwise
// seen from outside; each side has its own positions, so that the edges
// between sides are seams joined by value (with -0 where a side has 0).
void cube(int n, std::vector<float>& source, std::vector<uint32_t>& corners) {
  for (int axis = 0; axis < 3; ++axis) {
    for (float sign : {-1.0f, 1.0f}) {
      const uint32_t first = static_cast<uint32_t>(source.size() / 3);
      for (int i = 0; i <= n; ++i) {
        for (int j = 0; j <= n; ++j) {
          float p[3];
          p[axis] = sign * n;
          p[(axis + 1) % 3] = static_cast<float>(2 * i - n);
          p[(axis + 2) % 3] = static_cast<float>(2 * j - n);
          for (float& v : p)
            if (v == 0 && sign < 0) v = -0.0f;
          source.insert(source.end(), p, p + 3);
        }
      }
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
          const uint32_t a = first + i * (n + 1) + j, b = a + (n + 1), c = b + 1, d = a + 1;
          if (sign > 0)
            corners.insert(corners.end(), {a, b, c, a, c, d});
          else
            corners.insert(corners.end(), {a, c, b, a, d, c});
        }
      }
    }
  }
}

TEST(ClosedSurface, ASeamedMeshOfManyPositionsAndItsFaults) {
  std::vector<float> source;
  std::vector<uint32_t> corners;
  cube(4, source, corners);  // 150 positions, 98 distinct; 192 faces
  EXPECT_TRUE(isClosedSurface(source, 3, corners));
  auto closedAfter = [&](auto change) {
    std::vector<float> s = source;
    std::vector<uint32_t> c = corners;
    change(s, c);
    return isClosedSurface(s, 3, c);
  };
  using Source = std::vector<float>;
  using Corners = std::vector<uint32_t>;
  for (size_t t : {size_t{0}, size_t{95 * 3}, corners.size() - 3}) {
    EXPECT_FALSE(closedAfter([&](Source&, Corners& c) { std::swap(c[t + 1], c[t + 2]); })) << "turned over";
    EXPECT_FALSE(closedAfter([&](Source&, Corners& c) { c.erase(c.begin() + t, c.begin() + t + 3); })) << "a hole";
    EXPECT_FALSE(closedAfter([&](Source&, Corners& c) { c.insert(c.end(), c.begin() + t, c.begin() + t + 3); }))
        << "a face twice";
    EXPECT_FALSE(closedAfter([&](Source&, Corners& c) { c[t + 1] = c[t]; })) << "degenerate";
  }
  // A corner of the cube moved on one side only tears its seams; a
  // position inside a side moves with all its faces.
  EXPECT_FALSE(closedAfter([](Source& s, Corners&) { s[0] += 0.5f; }));
  EXPECT_TRUE(closedAfter([](Source& s, Corners&) { s[(1 * 5 + 1) * 3] += 0.5f; }));
  EXPECT_FALSE(closedAfter([](Source&, Corners& c) {
    for (size_t k = 0; k < c.size(); k += 3) std::swap(c[k + 1], c[k + 2]);
  })) << "inside out";
}

}  // namespace
