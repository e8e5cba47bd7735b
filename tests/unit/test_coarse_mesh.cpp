// The coarser triangle list a reflection drawn small is made from: fewer
// triangles over the same vertices, the same shape and facing, nothing
// smaller than a cell, and no triangle turned over by the merge.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "util/objects3d/coarse_mesh.h"

namespace {

// A flat square of side 1 in the z = 0 plane, n x n quads, counter-clockwise
// seen from +z.
struct Grid {
  std::vector<float> positions;
  std::vector<uint32_t> indices;
};

Grid grid(int n) {
  Grid g;
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x)
      g.positions.insert(g.positions.end(), {static_cast<float>(x) / n, static_cast<float>(y) / n, 0.0f});
  const auto at = [n](int x, int y) { return static_cast<uint32_t>(y * (n + 1) + x); };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      g.indices.insert(g.indices.end(),
                       {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y), at(x + 1, y + 1), at(x, y + 1)});
  return g;
}

// The z of each triangle's (unnormalised) normal, summed: twice the area
// facing +z, less twice the area facing away.
float facingArea(const std::vector<float>& p, const std::vector<uint32_t>& indices) {
  float sum = 0.0f;
  for (size_t i = 0; i + 2 < indices.size(); i += 3) {
    const float* a = &p[3 * indices[i]];
    const float* b = &p[3 * indices[i + 1]];
    const float* c = &p[3 * indices[i + 2]];
    sum += (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
  }
  return sum / 2.0f;
}

}  // namespace

TEST(CoarseMesh, AFineSurfaceKeepsItsShapeAndFacingWithAFractionOfItsTriangles) {
  const Grid fine = grid(40);
  const std::vector<uint32_t> coarse = coarseTriangles(fine.positions, 3, fine.indices, 0.1f);
  ASSERT_EQ(coarse.size() % 3, 0u);
  EXPECT_LT(coarse.size(), fine.indices.size() / 4);
  EXPECT_GT(coarse.size(), 0u);
  for (uint32_t index : coarse) EXPECT_LT(index, fine.positions.size() / 3);
  // Every kept triangle faces +z, and together they still cover most of
  // the square (the border cells lose a strip at most a cell wide).
  for (size_t i = 0; i < coarse.size(); i += 3) {
    const std::vector<uint32_t> one(coarse.begin() + static_cast<long>(i), coarse.begin() + static_cast<long>(i) + 3);
    EXPECT_GT(facingArea(fine.positions, one), 0.0f);
  }
  EXPECT_GT(facingArea(fine.positions, coarse), 0.75f);
  EXPECT_LE(facingArea(fine.positions, coarse), 1.0f + 1e-5f);
  // Deterministic, and a cell finer than the spacing changes nothing.
  EXPECT_EQ(coarseTriangles(fine.positions, 3, fine.indices, 0.1f), coarse);
  EXPECT_EQ(coarseTriangles(fine.positions, 3, fine.indices, 0.01f), fine.indices);
}

TEST(CoarseMesh, WhatFitsInACellGoesAndBadIndicesAreLeftOut) {
  const Grid small = grid(4);  // all of it within one cell of side 2
  std::vector<float> shifted = small.positions;
  for (size_t i = 0; i < shifted.size(); i += 3) shifted[i] += 0.25f;  // off the cells' edges
  EXPECT_TRUE(coarseTriangles(shifted, 3, small.indices, 2.0f).empty());
  // Flat (two-float) positions, and corners past the vertices.
  const std::vector<float> flat = {0, 0, 1, 0, 0, 1};
  EXPECT_EQ(coarseTriangles(flat, 2, {0, 1, 2}, 0.5f), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_TRUE(coarseTriangles(flat, 2, {0, 1, 7}, 0.5f).empty());
  EXPECT_EQ(coarseTriangles(flat, 2, {0, 1, 2}, 0.0f), (std::vector<uint32_t>{0, 1, 2}));  // no grid
}

TEST(CoarseMesh, ATriangleTheMergeWouldTurnOverIsLeftOut) {
  // a, b, c counter-clockwise; c stands for d, the first vertex of its
  // cell, which lies below the line from a to b: (a, b, d) would face away.
  const std::vector<float> p = {
      0.1f, 0.5f, 0.0f,  // a, cell (0, 0)
      2.9f, 0.5f, 0.0f,  // b, cell (2, 0)
      1.5f, 0.1f, 0.0f,  // d, cell (1, 0)
      1.5f, 0.6f, 0.0f,  // c, cell (1, 0)
  };
  EXPECT_GT(facingArea(p, {0, 1, 3}), 0.0f);
  EXPECT_TRUE(coarseTriangles(p, 3, {0, 1, 3}, 1.0f).empty());
  // The same with d above the line is kept, as (a, b, d).
  std::vector<float> above = p;
  above[7] = 0.9f;
  EXPECT_EQ(coarseTriangles(above, 3, {0, 1, 3}, 1.0f), (std::vector<uint32_t>{0, 1, 2}));
}
