// Closed, outward surfaces: what lets a model be drawn with back faces culled.
#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
