// The marching-cubes engine: its grid, its triangle table, the meshes it makes
// of known fields, and the metaballs' motion and field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "util/marching_cubes/marching_cubes.h"
#include "scenes/scene_metaballmarch/metaballs.h"

namespace {

const float kShowMax[3] = {150.0f, 150.0f, 150.0f};
const float kShowMin[3] = {-150.0f, -150.0f, -150.0f};
const int kPoints = 41;

// The cube as the tests see it: corner c at (c & 1, (c >> 1) & 1, (c >> 2) & 1),
// and the engine's twelve edges.
const int kCorners[12][2] = {{0, 1}, {1, 3}, {2, 3}, {0, 2}, {4, 5}, {5, 7},
                             {6, 7}, {4, 6}, {0, 4}, {1, 5}, {3, 7}, {2, 6}};

int coordinate(int corner, int axis) { return (corner >> axis) & 1; }

// The cube faces (axis * 2 + side) an edge lies on.
std::set<int> facesOf(int edge) {
  std::set<int> faces;
  for (int axis = 0; axis < 3; ++axis) {
    const int a = coordinate(kCorners[edge][0], axis), b = coordinate(kCorners[edge][1], axis);
    if (a == b) faces.insert(axis * 2 + a);
  }
  return faces;
}

size_t pointIndex(int x, int y, int z) {
  return (static_cast<size_t>(z) * kPoints + y) * kPoints + x;
}

// ---- The grid ----

TEST(MarchingCubesGrid, PointsRunXFirstBetweenMinAndMax) {
  MarchingCubes mc;
  const float max[3] = {10.0f, 20.0f, 40.0f}, min[3] = {0.0f, -20.0f, 0.0f};
  mc.buildGrid(max, min);
  EXPECT_EQ(mc.cellsX(), 40);
  EXPECT_EQ(mc.cellsY(), 40);
  EXPECT_EQ(mc.cellsZ(), 40);
  ASSERT_EQ(mc.pointCount(), 68921u);
  ASSERT_EQ(mc.cellCount(), 64000u);
  const GridPoint* p = mc.points();

  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(p[0].position[k], min[k]);
    EXPECT_EQ(p[68920].position[k], max[k]);
  }
  EXPECT_FLOAT_EQ(p[1].position[0], 0.25f);
  EXPECT_EQ(p[1].position[1], -20.0f);
  EXPECT_FLOAT_EQ(p[kPoints].position[1], -19.0f);
  EXPECT_EQ(p[kPoints].position[0], 0.0f);
  EXPECT_FLOAT_EQ(p[kPoints * kPoints].position[2], 1.0f);
  EXPECT_EQ(p[kPoints * kPoints].position[1], -20.0f);
  const GridPoint& middle = p[pointIndex(20, 20, 20)];
  EXPECT_FLOAT_EQ(middle.position[0], 5.0f);
  EXPECT_FLOAT_EQ(middle.position[1], 0.0f);
  EXPECT_FLOAT_EQ(middle.position[2], 20.0f);
  for (size_t i = 0; i < mc.pointCount(); ++i) ASSERT_EQ(p[i].position[3], 1.0f);

  const float expectX[4] = {0.03125f, 0, 0, 1}, expectY[4] = {0, 0.125f, 0, 1},
              expectZ[4] = {0, 0, 0.125f, 1};
  for (int k = 0; k < 4; ++k) {
    EXPECT_FLOAT_EQ(mc.stepX()[k], expectX[k]);
    EXPECT_FLOAT_EQ(mc.stepY()[k], expectY[k]);
    EXPECT_FLOAT_EQ(mc.stepZ()[k], expectZ[k]);
  }
}

TEST(MarchingCubesGrid, ShowGridIsCentredWithSteps0_9375) {
  MarchingCubes mc;
  for (int k = 0; k < 3; ++k) {  // before a grid: no offset
    EXPECT_EQ(mc.stepX()[k], 0.0f);
    EXPECT_EQ(mc.stepZ()[k], 0.0f);
  }
  EXPECT_EQ(mc.stepY()[3], 1.0f);
  mc.buildGrid(kShowMax, kShowMin);
  EXPECT_EQ(mc.stepX()[0], 0.9375f);
  EXPECT_EQ(mc.stepY()[1], 0.9375f);
  EXPECT_EQ(mc.stepZ()[2], 0.9375f);
  EXPECT_EQ(mc.stepX()[1], 0.0f);
  const GridPoint& middle = mc.points()[pointIndex(20, 20, 20)];
  EXPECT_EQ(middle.position[0], 0.0f);
  EXPECT_EQ(middle.position[1], 0.0f);
  EXPECT_EQ(middle.position[2], 0.0f);
  EXPECT_FLOAT_EQ(mc.points()[pointIndex(1, 2, 3)].position[0], -142.5f);
  EXPECT_FLOAT_EQ(mc.points()[pointIndex(1, 2, 3)].position[1], -135.0f);
  EXPECT_FLOAT_EQ(mc.points()[pointIndex(1, 2, 3)].position[2], -127.5f);
}

TEST(MarchingCubesGrid, CellsSeeTheirCornersAndEveryEdgeOnce) {
  MarchingCubes mc;
  mc.buildGrid(kShowMax, kShowMin);
  ASSERT_EQ(mc.edgeCount(), 201720u);
  const GridPoint* points = mc.points();
  const GridEdge* edges = mc.edges();
  const GridCell* cells = mc.cells();

  // Every edge joins neighbouring points, low to high, and no two edges join
  // the same pair.
  std::set<std::pair<const GridPoint*, const GridPoint*>> pairs;
  for (size_t e = 0; e < mc.edgeCount(); ++e) {
    const ptrdiff_t stride = edges[e].b - edges[e].a;
    ASSERT_TRUE(stride == 1 || stride == kPoints || stride == kPoints * kPoints) << e;
    ASSERT_TRUE(pairs.insert({edges[e].a, edges[e].b}).second) << "edge " << e << " twice";
  }

  size_t c = 0;
  for (int z = 0; z < 40; ++z)
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x, ++c) {
        const GridCell& cell = cells[c];
        for (int k = 0; k < 8; ++k)
          ASSERT_EQ(
              cell.corners[k],
              &points[pointIndex(x + coordinate(k, 0), y + coordinate(k, 1), z + coordinate(k, 2))])
              << x << "," << y << "," << z << " corner " << k;
        for (int e = 0; e < 12; ++e) {
          const GridEdge* edge = cell.edges[e];
          ASSERT_TRUE(edge >= edges && edge < edges + mc.edgeCount());
          ASSERT_EQ(edge->a, cell.corners[kCorners[e][0]]) << c << " edge " << e;
          ASSERT_EQ(edge->b, cell.corners[kCorners[e][1]]) << c << " edge " << e;
        }
      }

  // Neighbours hold the very same edge objects on their common face.
  const GridCell& cell = cells[(5 * 40 + 6) * 40 + 7];
  const GridCell& nextX = cells[(5 * 40 + 6) * 40 + 8];
  const GridCell& nextY = cells[(5 * 40 + 7) * 40 + 7];
  const GridCell& nextZ = cells[(6 * 40 + 6) * 40 + 7];
  const GridCell& diagonal = cells[(6 * 40 + 7) * 40 + 7];
  EXPECT_EQ(cell.edges[1], nextX.edges[3]);
  EXPECT_EQ(cell.edges[10], nextX.edges[11]);
  EXPECT_EQ(cell.edges[2], nextY.edges[0]);
  EXPECT_EQ(cell.edges[6], nextY.edges[4]);
  EXPECT_EQ(cell.edges[4], nextZ.edges[0]);
  EXPECT_EQ(cell.edges[5], nextZ.edges[1]);
  EXPECT_EQ(cell.edges[6], diagonal.edges[0]);
}

// ---- The triangle table ----

std::vector<int> row(int cubeCase) {
  const int8_t* r = kTriangleTable[cubeCase];
  return std::vector<int>(r + 1, r + 1 + r[0]);
}

TEST(MarchingCubesTable, KnownRows) {
  EXPECT_TRUE(row(0).empty());
  EXPECT_TRUE(row(255).empty());
  EXPECT_EQ(row(1), (std::vector<int>{0, 8, 3}));
  EXPECT_EQ(row(2), (std::vector<int>{0, 1, 9}));
  EXPECT_EQ(row(3), (std::vector<int>{1, 8, 3, 9, 8, 1}));
  EXPECT_EQ(row(4), (std::vector<int>{3, 11, 2}));
  EXPECT_EQ(row(8), (std::vector<int>{1, 2, 10}));
  EXPECT_EQ(row(128), (std::vector<int>{10, 6, 5}));
  EXPECT_EQ(row(254), (std::vector<int>{0, 3, 8}));
}

// For every case: the triangles use exactly the cut edges; inside the cube
// each segment between two cut edges is shared by two triangles, run in
// opposite directions (one consistent winding); on each cube face the
// segments pair up that face's cut edges, each segment used once.
TEST(MarchingCubesTable, EveryCaseIsAConsistentPatchOverItsCutEdges) {
  int triangles = 0;
  for (int cubeCase = 0; cubeCase < 256; ++cubeCase) {
    SCOPED_TRACE(cubeCase);
    const int8_t* r = kTriangleTable[cubeCase];
    const int n = r[0];
    ASSERT_TRUE(n >= 0 && n <= 15 && n % 3 == 0);
    for (int i = n + 1; i < 16; ++i) EXPECT_EQ(r[i], -1);
    triangles += n / 3;

    std::set<int> cut;
    for (int e = 0; e < 12; ++e)
      if (((cubeCase >> kCorners[e][0]) & 1) != ((cubeCase >> kCorners[e][1]) & 1)) cut.insert(e);
    std::set<int> used(r + 1, r + 1 + n);
    EXPECT_EQ(used, cut);

    std::map<std::pair<int, int>, int> directed;
    for (int t = 0; t < n; t += 3) {
      const int tri[3] = {r[1 + t], r[2 + t], r[3 + t]};
      ASSERT_TRUE(tri[0] != tri[1] && tri[1] != tri[2] && tri[0] != tri[2]);
      for (int i = 0; i < 3; ++i) ++directed[{tri[i], tri[(i + 1) % 3]}];
    }
    std::map<int, int> faceSegmentsAt;  // cut edge -> face segments ending there
    for (const auto& [segment, count] : directed) {
      EXPECT_EQ(count, 1) << segment.first << "-" << segment.second;
      const std::set<int> a = facesOf(segment.first), b = facesOf(segment.second);
      bool onFace = false;
      for (int face : a) onFace = onFace || b.count(face);
      const int back = directed.count({segment.second, segment.first});
      if (onFace) {
        EXPECT_EQ(back, 0) << "face segment " << segment.first << "-" << segment.second;
        ++faceSegmentsAt[segment.first];
        ++faceSegmentsAt[segment.second];
      } else {
        EXPECT_EQ(back, 1) << "inner segment " << segment.first << "-" << segment.second;
      }
    }
    // A cut edge lies on two faces: one segment on each.
    for (int e : cut) EXPECT_EQ(faceSegmentsAt[e], 2) << "edge " << e;
  }
  EXPECT_EQ(triangles, 820);
}

// Swapping inside and outside cuts the same edges.
TEST(MarchingCubesTable, ComplementaryCasesCutTheSameEdges) {
  for (int cubeCase = 0; cubeCase < 256; ++cubeCase) {
    const std::vector<int> a = row(cubeCase), b = row(255 - cubeCase);
    EXPECT_EQ(std::set<int>(a.begin(), a.end()), std::set<int>(b.begin(), b.end())) << cubeCase;
  }
}

// ---- Meshes of known fields ----

float gSphereCentre[3];
float gSphereRadius;

// Positive inside the sphere.
float sphereField(const float p[3]) {
  const float dx = p[0] - gSphereCentre[0], dy = p[1] - gSphereCentre[1],
              dz = p[2] - gSphereCentre[2];
  return gSphereRadius * gSphereRadius - (dx * dx + dy * dy + dz * dz);
}

void cross(const float* a, const float* b, const float* c, double n[3]) {
  const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
  const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
}

TEST(MarchingCubesSphere, ClosedOutwardMeshOnTheSphere) {
  gSphereCentre[0] = 3.1f;
  gSphereCentre[1] = -7.7f;
  gSphereCentre[2] = 11.3f;
  gSphereRadius = 61.3f;
  MarchingCubes mc;
  mc.buildGrid(kShowMax, kShowMin);
  mc.polygonise(sphereField);

  // One vertex per grid edge whose ends differ in sign, found pair by pair.
  const GridPoint* points = mc.points();
  uint32_t crossed = 0;
  for (int z = 0; z < kPoints; ++z)
    for (int y = 0; y < kPoints; ++y)
      for (int x = 0; x < kPoints; ++x) {
        const bool here = std::signbit(sphereField(points[pointIndex(x, y, z)].position));
        if (x + 1 < kPoints)
          crossed += here != std::signbit(sphereField(points[pointIndex(x + 1, y, z)].position));
        if (y + 1 < kPoints)
          crossed += here != std::signbit(sphereField(points[pointIndex(x, y + 1, z)].position));
        if (z + 1 < kPoints)
          crossed += here != std::signbit(sphereField(points[pointIndex(x, y, z + 1)].position));
      }
  ASSERT_GT(crossed, 1000u);
  EXPECT_EQ(mc.vertexCount(), crossed);
  ASSERT_EQ(mc.indexCount() % 3, 0u);
  ASSERT_GT(mc.indexCount(), 0u);

  const MeshVertex* v = mc.vertices();
  for (uint32_t i = 0; i < mc.vertexCount(); ++i) {
    const float d[3] = {v[i].position[0] - gSphereCentre[0], v[i].position[1] - gSphereCentre[1],
                        v[i].position[2] - gSphereCentre[2]};
    const float r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    ASSERT_NEAR(r, gSphereRadius, 0.25f) << i;
    const float dot = (d[0] * v[i].normal[0] + d[1] * v[i].normal[1] + d[2] * v[i].normal[2]) / r;
    ASSERT_GT(dot, 0.999f) << i;  // unit length and outward
    EXPECT_EQ(v[i].pad, 1.0f);
    EXPECT_EQ(v[i].pad2, 0.0f);
  }

  // Closed and consistently wound: each directed edge once, its reverse once.
  // The table winds counter-clockwise seen from outside (the negative side).
  const uint32_t* idx = mc.indices();
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  std::vector<int> used(mc.vertexCount(), 0);
  int inward = 0;
  for (uint32_t t = 0; t < mc.indexCount(); t += 3) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_LT(idx[t + i], mc.vertexCount());
      ++used[idx[t + i]];
      ++directed[{idx[t + i], idx[t + (i + 1) % 3]}];
    }
    const float* a = v[idx[t]].position;
    double n[3];
    cross(a, v[idx[t + 1]].position, v[idx[t + 2]].position, n);
    const double out = n[0] * (a[0] - gSphereCentre[0]) + n[1] * (a[1] - gSphereCentre[1]) +
                       n[2] * (a[2] - gSphereCentre[2]);
    inward += out <= 0.0;
  }
  EXPECT_EQ(inward, 0);
  for (const auto& [edge, count] : directed) {
    ASSERT_EQ(count, 1);
    ASSERT_EQ(directed.count({edge.second, edge.first}), 1u) << "open at " << edge.first;
  }
  for (uint32_t i = 0; i < mc.vertexCount(); ++i) ASSERT_GE(used[i], 3) << i;
}

TEST(MarchingCubesSphere, NothingInsideTheGridMakesNoMesh) {
  Ball balls[kBallCount];
  resetBalls(balls);
  for (auto& centre : metaballCentres) centre[0] = centre[1] = centre[2] = 1000.0f;
  MarchingCubes mc;
  mc.buildGrid(kShowMax, kShowMin);
  mc.polygonise(metaballField);  // the very first frame has no crossings
  for (size_t i = 0; i < mc.pointCount(); ++i) ASSERT_LT(mc.points()[i].value, 0.0f);
  EXPECT_EQ(mc.vertexCount(), 0u);
  EXPECT_EQ(mc.indexCount(), 0u);

  resetBalls(balls);  // a mesh, then nothing again
  mc.polygonise(metaballField);
  EXPECT_GT(mc.indexCount(), 0u);
  for (auto& centre : metaballCentres) centre[0] = centre[1] = centre[2] = -1000.0f;
  mc.polygonise(metaballField);
  EXPECT_EQ(mc.vertexCount(), 0u);
  EXPECT_EQ(mc.indexCount(), 0u);
}

TEST(MarchingCubesSphere, ASurfaceThroughEveryCellGetsEachCellsTrianglesAndEveryCrossedEdge) {
  // Cells at the ends of rows and of the workers' runs included: the counts
  // against a plain walk of the points.
  auto ripples = [](const float* p) {
    return std::sin(p[0] * 0.37f) * std::sin(p[1] * 0.41f + 0.3f) * std::sin(p[2] * 0.43f + 0.7f) - 0.05f;
  };
  for (int workers : {1, 3}) {
    MarchingCubes mc;
    mc.setActiveWorkers(workers);
    mc.buildGrid(kShowMax, kShowMin);
    mc.polygonise(ripples);
    const GridPoint* points = mc.points();
    auto inside = [&](int x, int y, int z) { return std::signbit(points[pointIndex(x, y, z)].value); };
    uint32_t entries = 0, crossed = 0, surfaceCells = 0;
    for (int z = 0; z < kPoints; ++z)
      for (int y = 0; y < kPoints; ++y)
        for (int x = 0; x < kPoints; ++x) {
          crossed += x + 1 < kPoints && inside(x, y, z) != inside(x + 1, y, z);
          crossed += y + 1 < kPoints && inside(x, y, z) != inside(x, y + 1, z);
          crossed += z + 1 < kPoints && inside(x, y, z) != inside(x, y, z + 1);
          if (x + 1 == kPoints || y + 1 == kPoints || z + 1 == kPoints) continue;
          unsigned cubeCase = 0;
          for (int c = 0; c < 8; ++c)
            cubeCase |= unsigned{inside(x + coordinate(c, 0), y + coordinate(c, 1), z + coordinate(c, 2))} << c;
          entries += static_cast<uint32_t>(kTriangleTable[cubeCase][0]);
          surfaceCells += cubeCase != 0 && cubeCase != 255;
        }
    ASSERT_GT(surfaceCells, 5000u) << "the surface runs through much of the grid";
    EXPECT_EQ(mc.indexCount(), entries) << workers;
    EXPECT_EQ(mc.vertexCount(), crossed) << workers;
  }
}

// -0 on the negative half-space, +0 elsewhere: every crossed edge joins -0 to
// +0, where interpolation would be 0/0.
float signedZeroField(const float p[3]) { return p[0] < 0.0f ? -0.0f : 0.0f; }

TEST(MarchingCubesSphere, SignedZeroEdgeGivesAFiniteVertexOnItsLowEnd) {
  MarchingCubes mc;
  mc.buildGrid(kShowMax, kShowMin);
  mc.polygonise(signedZeroField);
  ASSERT_EQ(mc.vertexCount(), 41u * 41u);  // the x edges from x = -7.5 to 0
  const MeshVertex* v = mc.vertices();
  for (uint32_t i = 0; i < mc.vertexCount(); ++i) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(std::isfinite(v[i].position[k])) << i;
      ASSERT_EQ(v[i].normal[k], 0.0f) << i;  // a flat field has no direction
    }
    ASSERT_EQ(v[i].position[0], -7.5f) << i;
  }
  EXPECT_EQ(mc.indexCount(), 40u * 40u * 6u);  // two triangles per cell of the wall
}

// ---- The show's field, frame after frame ----

const float kBeatsPerFrame = 125.0f / 60.0f / 60.0f;

void expectSameMesh(const MarchingCubes& a, const MarchingCubes& b, int frame) {
  ASSERT_GT(a.indexCount(), 0u);
  ASSERT_EQ(a.vertexCount(), b.vertexCount()) << frame;
  ASSERT_EQ(a.indexCount(), b.indexCount()) << frame;
  ASSERT_EQ(0, std::memcmp(a.vertices(), b.vertices(), a.vertexCount() * sizeof(MeshVertex)))
      << frame;
  ASSERT_EQ(0, std::memcmp(a.indices(), b.indices(), a.indexCount() * sizeof(uint32_t))) << frame;
}

TEST(MarchingCubesWorkers, FourWorkersMatchOneBitForBit) {
  // The reference: one thread walks the edges and cells; then the walks
  // split over one, three and four workers, and the vertices alone split.
  MarchingCubes serial, one, three, four, vertices;
  serial.setActiveWorkers(1);
  serial.setSplitWalks(false);
  one.setActiveWorkers(1);
  three.setActiveWorkers(3);
  EXPECT_EQ(one.activeWorkers(), 1);
  EXPECT_EQ(four.activeWorkers(), 4);
  EXPECT_TRUE(four.splitWalks());
  vertices.setSplitWalks(false);
  vertices.setSplitVertices(true);
  MarchingCubes* all[] = {&serial, &one, &three, &four, &vertices};
  for (MarchingCubes* mc : all) mc->buildGrid(kShowMax, kShowMin);
  Ball balls[kBallCount];
  resetBalls(balls);
  for (int frame = 0; frame < 240; ++frame) {
    moveBalls(balls, kBeatsPerFrame);
    if (frame % 40 != 39) continue;
    for (MarchingCubes* mc : all) mc->polygonise(metaballField);
    ASSERT_GT(serial.indexCount(), 300u);
    for (MarchingCubes* mc : {&one, &three, &four, &vertices}) expectSameMesh(serial, *mc, frame);
  }
  four.setActiveWorkers(9);
  EXPECT_EQ(four.activeWorkers(), 4);
  four.setActiveWorkers(0);
  EXPECT_EQ(four.activeWorkers(), 1);
}

// The grid laid out on a worker while the caller goes on is the grid the
// caller would have laid out: the same points, and the same meshes from it.
// An engine that goes before its grid is done waits for it.
TEST(MarchingCubesWorkers, AGridBuiltOnAWorkerIsTheSameGrid) {
  MarchingCubes here, there;
  here.buildGrid(kShowMax, kShowMin);
  there.startBuildingGrid(kShowMax, kShowMin);
  there.finishGrid();
  ASSERT_EQ(here.pointCount(), there.pointCount());
  ASSERT_EQ(here.edgeCount(), there.edgeCount());
  for (size_t i = 0; i < here.pointCount(); ++i)
    ASSERT_EQ(0, std::memcmp(here.points()[i].position, there.points()[i].position, sizeof(float) * 4)) << i;
  MarchingCubes later;
  later.startBuildingGrid(kShowMax, kShowMin);  // polygonise waits for it
  Ball balls[kBallCount];
  resetBalls(balls);
  for (int frame = 0; frame < 80; ++frame) moveBalls(balls, kBeatsPerFrame);
  for (MarchingCubes* mc : {&here, &later}) mc->polygonise(metaballField);
  expectSameMesh(here, later, 80);
  MarchingCubes gone;
  gone.startBuildingGrid(kShowMax, kShowMin);
}

TEST(MarchingCubesWorkers, TheArraysHoldTheLargestMeshFromTheStartAndStay) {
  MarchingCubes mc;
  EXPECT_EQ(mc.vertexCapacity(), 0u);
  mc.buildGrid(kShowMax, kShowMin);
  EXPECT_EQ(mc.vertexCapacity(), mc.edgeCount()) << "a vertex per grid edge";
  EXPECT_EQ(mc.indexCapacity(), mc.cellCount() * 15) << "five triangles per cell";
  const MeshVertex* vertices = mc.vertices();
  const uint32_t* indices = mc.indices();
  Ball balls[kBallCount];
  resetBalls(balls);
  for (int frame = 0; frame < 3; ++frame) {
    mc.polygonise(metaballField);
    EXPECT_GT(mc.indexCount(), 0u);
    EXPECT_EQ(mc.vertices(), vertices);
    EXPECT_EQ(mc.indices(), indices);
  }
  // A smaller mesh, then a mesh in every cell: the same arrays.
  for (auto& centre : metaballCentres) centre[0] = centre[1] = centre[2] = 1000.0f;
  metaballCentres[0][0] = metaballCentres[0][1] = metaballCentres[0][2] = 0.0f;
  mc.polygonise(metaballField);
  EXPECT_EQ(mc.vertices(), vertices);
  mc.polygonise([](const float* p) {  // a surface through every cell
    return std::sin(p[0] * 37.0f) * std::sin(p[1] * 41.0f) * std::sin(p[2] * 43.0f);
  });
  EXPECT_GT(mc.indexCount(), mc.cellCount());
  EXPECT_LE(mc.indexCount(), mc.indexCapacity());
  EXPECT_LE(mc.vertexCount(), mc.vertexCapacity());
  EXPECT_EQ(mc.vertices(), vertices);
  EXPECT_EQ(mc.indices(), indices);
}

// ---- The balls ----

TEST(Metaballs, ResetPlacesTheBallsAtRest) {
  Ball balls[kBallCount];
  std::memset(balls, 0x7F, sizeof balls);
  resetBalls(balls);
  const float start[kBallCount][3] = {{-70, 10, 0}, {70, 0, 10}, {10, 80, 50}, {-10, -80, 100}};
  for (int i = 0; i < kBallCount; ++i) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(balls[i].position[k], start[i][k]);
      EXPECT_EQ(balls[i].velocity[k], 0.0f);
      EXPECT_EQ(metaballCentres[i][k], start[i][k] * 0.033333335f);
    }
    EXPECT_EQ(balls[i].position[3], 1.0f);
    EXPECT_EQ(balls[i].velocity[3], 1.0f);
  }
}

TEST(Metaballs, FieldIsPositiveNearACentreAndMinusOneFarAway) {
  Ball balls[kBallCount];
  resetBalls(balls);
  const float nearFirst[3] = {-70.0f, 10.0f, 3.0f};
  EXPECT_GT(metaballField(nearFirst), 10.0f);
  const float far[3] = {1e6f, 1e6f, 1e6f};
  EXPECT_NEAR(metaballField(far), -1.0f, 1e-6f);
  // One ball alone: 1 / d^2 - 1 with d in field units (a 30th).
  for (int i = 1; i < kBallCount; ++i)
    metaballCentres[i][0] = metaballCentres[i][1] = metaballCentres[i][2] = 1e6f;
  metaballCentres[0][0] = metaballCentres[0][1] = metaballCentres[0][2] = 0.0f;
  const float at15[3] = {15.0f, 0.0f, 0.0f};  // d = 0.5
  EXPECT_NEAR(metaballField(at15), 3.0f, 1e-4f);
  const float at30[3] = {0.0f, 0.0f, -30.0f};  // the surface
  EXPECT_NEAR(metaballField(at30), 0.0f, 1e-5f);
  const float at60[3] = {0.0f, 60.0f, 0.0f};
  EXPECT_NEAR(metaballField(at60), -0.75f, 1e-5f);
}

TEST(Metaballs, StepClampsAtATenthAndStandsStillAtZero) {
  Ball start[kBallCount];
  resetBalls(start);
  Ball a[kBallCount], b[kBallCount], c[kBallCount];
  std::memcpy(a, start, sizeof a);
  std::memcpy(b, start, sizeof b);
  std::memcpy(c, start, sizeof c);
  moveBalls(a, 0.6f);
  moveBalls(b, 5.0f);
  EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
  EXPECT_NE(0, std::memcmp(a, start, sizeof a));
  moveBalls(c, 0.0f);
  EXPECT_EQ(0, std::memcmp(c, start, sizeof c));
  // Once moving, a zero step still leaves the positions where they are.
  moveBalls(a, 0.0f);
  for (int i = 0; i < kBallCount; ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(a[i].position[k], b[i].position[k]);
}

TEST(Metaballs, OneStepByHand) {
  // Two balls on the x axis and two together far along z.
  Ball balls[kBallCount] = {};
  const float start[kBallCount][3] = {{-100, 0, 0}, {50, 0, 0}, {0, 0, 1e4f}, {0, 0, 1e4f}};
  for (int i = 0; i < kBallCount; ++i) {
    for (int k = 0; k < 3; ++k) balls[i].position[k] = start[i][k];
    balls[i].velocity[0] = (i == 1) ? 2.0f : 0.0f;
    balls[i].position[3] = balls[i].velocity[3] = 1.0f;
  }
  moveBalls(balls, 0.15f);  // dt = 0.05
  const double dt = 0.05, z = 1e4;
  // pull(d, strength) = d x strength dt / (|d|^2 + 10000)
  auto pull = [&](double d, double d2, double strength) {
    return d * strength * dt / (d2 + 10000);
  };
  const double far0 = 100.0 * 100 + z * z, far1 = 50.0 * 50 + z * z;
  const double v0 =
      pull(100, 100 * 100, 40000) + pull(150, 150 * 150, 20000) + 2 * pull(100, far0, 20000);
  const double v1 =
      2 + pull(-50, 50 * 50, 40000) + pull(-150, 150 * 150, 20000) + 2 * pull(-50, far1, 20000);
  EXPECT_NEAR(balls[0].velocity[0], v0, 1e-4);
  EXPECT_NEAR(balls[1].velocity[0], v1, 1e-4);
  EXPECT_NEAR(balls[0].velocity[2], 2 * pull(z, far0, 20000), 1e-5);
  EXPECT_NEAR(balls[1].velocity[2], 2 * pull(z, far1, 20000), 1e-5);
  EXPECT_NEAR(balls[0].position[0], -100 + v0 * dt, 1e-4);
  EXPECT_NEAR(balls[1].position[0], 50 + v1 * dt, 1e-4);
  // The far pair pull each other not at all (no distance between them).
  const double vz = pull(-z, z * z, 40000) + pull(-z, far0, 20000) + pull(-z, far1, 20000);
  const double vx = pull(-100, far0, 20000) + pull(50, far1, 20000);
  for (int i = 2; i < 4; ++i) {
    EXPECT_NEAR(balls[i].velocity[2], vz, 1e-5);
    EXPECT_NEAR(balls[i].velocity[0], vx, 1e-7);
    EXPECT_NEAR(balls[i].position[2], z + vz * dt, 1e-3);
  }
  for (int i = 0; i < kBallCount; ++i) {
    EXPECT_EQ(balls[i].position[1], 0.0f);
    EXPECT_EQ(balls[i].velocity[1], 0.0f);
    EXPECT_EQ(balls[i].position[3], 1.0f);
    EXPECT_EQ(balls[i].velocity[3], 1.0f);
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(metaballCentres[i][k], balls[i].position[k] * 0.033333335f);
  }
}

}  // namespace
