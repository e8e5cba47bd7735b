#pragma once
// MarchingCubes: turns a scalar field into a triangle mesh on a fixed
// 40 x 40 x 40 cell grid, once per frame.
//
// buildGrid lays out the 41 x 41 x 41 points between min and max (x fastest,
// then y, then z), the cells (same order) and every grid edge exactly once;
// each cell points at its 8 corners and 12 edges. Corner c of the cell whose
// lowest point is (x, y, z) is the point (x + (c & 1), y + ((c >> 1) & 1),
// z + ((c >> 2) & 1)); the cell's edges 0..11 join its corners (0,1) (1,3)
// (2,3) (0,2) (4,5) (5,7) (6,7) (4,6) (0,4) (1,5) (3,7) (2,6), always from
// the lower point (a) to the higher (b).
//
// polygonise(f) per frame:
//  1. evaluates f at every point, split over the workers;
//  2. numbers the edges whose two values differ in sign bit, in edge order;
//  3. places a vertex on each of them, where the field's linear
//     interpolation crosses zero, with a normal from forward differences of f
//     (f(P) - f(P + step) per axis, normalised: it points down the field, out
//     of the positive region; a zero difference leaves the normal (0,0,0));
//     an edge between +0 and -0 puts its vertex on a rather than at 0/0;
//  4. walks the cells (x fastest) and appends three vertex indices per
//     triangle from kTriangleTable. A cell's case sets bit c for each corner
//     c whose value has its sign bit set, so the positive region is inside.
// The results are vertices()/vertexCount() and indices()/indexCount(), ready
// for glDrawElements(GL_TRIANGLES, ...).
//
// How: the points' sign bits go to a byte array as they are evaluated; one
// pass over the cells reads each cell's case from it by grid offsets, counts
// its triangle entries and marks its crossed edges in a bitmap of all edges
// (only the few cells on the surface touch the edge and cell arrays). The
// bitmap, read in edge order, numbers the crossed edges; their vertices are
// placed; a last pass writes the cells' indices.
//
// The point values are computed the same way whatever the number of workers, so
// the mesh is the same bit for bit with 1 worker or 4. With split walks (the
// default) the cell passes are shared by the workers too, each over its own
// run of cells: the calling thread adds up where each run's indices begin
// from the first pass's counts, so the second writes the serial order. The
// numbering stays on the calling thread (a walk of a bitmap) and the
// vertices are split. Without split walks the calling thread does the cell
// passes and the numbering itself; setSplitVertices(true) then hands the
// vertices (step 3) to the workers. Every way gives the same mesh bit for bit.
// buildGrid makes the vertex and index arrays as large as the grid's largest
// possible mesh (a vertex per edge, 15 indices per cell), so polygonise never
// allocates. The field function is called on the worker
// threads; whatever it reads must be set before polygonise and left alone
// during it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/workers.h"

// The triangles of each of the 256 cases: the count of edge numbers (a
// multiple of 3, at most 15), then that many cell edge numbers, three per
// triangle; unused entries are -1. The well-known marching-cubes table,
// renumbered for this engine's corner order (bit c is corner c).
extern const int8_t kTriangleTable[256][16];

struct GridPoint {
  float position[4];  // w = 1
  float value;
};

struct GridEdge {
  GridPoint* a;
  GridPoint* b;
  uint32_t vertex;  // this frame's vertex, if the edge is crossed
};

struct GridCell {
  GridPoint* corners[8];
  GridEdge* edges[12];
};

struct MeshVertex {
  float position[3];
  float pad;  // 1
  float normal[3];
  float pad2;  // 0
};
static_assert(sizeof(MeshVertex) == 32, "MeshVertex is two vec4s");
static_assert(offsetof(MeshVertex, position) == 0, "position at byte 0");
static_assert(offsetof(MeshVertex, normal) == 16, "normal at byte 16");

typedef float (*FieldFunction)(const float point[3]);

struct WorkRange {
  int32_t begin, end;  // half-open
};

class MarchingCubes {
 public:
  static constexpr int kMaxWorkers = 4;
  // Worker messages: wParam is the worker's index, lParam the FieldFunction.
  static constexpr unsigned kEvaluatePoints = 0x401;
  static constexpr unsigned kComputeVertices = 0x402;
  static constexpr unsigned kClassifyCells = 0x403;
  static constexpr unsigned kWriteIndices = 0x404;
  static constexpr unsigned kBuildGrid = 0x405;

  MarchingCubes();
  ~MarchingCubes();
  MarchingCubes(const MarchingCubes&) = delete;
  MarchingCubes& operator=(const MarchingCubes&) = delete;

  void buildGrid(const float max[3], const float min[3]);
  // buildGrid on a worker, for a loading that goes on meanwhile: it returns
  // at once, and polygonise waits for the grid (finishGrid waits for it
  // alone). Nothing of the engine may be asked for or changed before then.
  void startBuildingGrid(const float max[3], const float min[3]);
  void finishGrid();
  void polygonise(FieldFunction f);

  // How many workers share a frame's work, 1..4 (default 4; clamped).
  void setActiveWorkers(int count);
  int activeWorkers() const { return activeWorkers_; }
  // Whether the active workers share the passes over the cells (default true).
  void setSplitWalks(bool split) { splitWalks_ = split; }
  bool splitWalks() const { return splitWalks_; }
  // Without split walks: whether the workers place the vertices (default false).
  void setSplitVertices(bool split) { splitVertices_ = split; }

  const MeshVertex* vertices() const { return vertices_; }
  uint32_t vertexCount() const { return vertexCount_; }
  uint32_t vertexCapacity() const { return vertexCapacity_; }
  const uint32_t* indices() const { return indices_; }
  uint32_t indexCount() const { return indexCount_; }
  uint32_t indexCapacity() const { return indexCapacity_; }

  int32_t cellsX() const { return cellsX_; }
  int32_t cellsY() const { return cellsY_; }
  int32_t cellsZ() const { return cellsZ_; }
  // The gradient offsets (d, 0, 0, 1), (0, d, 0, 1), (0, 0, d, 1).
  const float* stepX() const { return stepX_; }
  const float* stepY() const { return stepY_; }
  const float* stepZ() const { return stepZ_; }

  const GridPoint* points() const { return points_.get(); }
  size_t pointCount() const { return pointCount_; }
  const GridCell* cells() const { return cells_.get(); }
  size_t cellCount() const { return cellCount_; }
  const GridEdge* edges() const { return edges_.get(); }
  size_t edgeCount() const { return edgeCount_; }

 private:
  void handle(const WorkerMessage& message);
  void evaluatePoints(const WorkRange& range, FieldFunction f);
  void computeVertices(const WorkRange& range, FieldFunction f);
  void placeVertex(const GridEdge& edge, FieldFunction f);
  // The cell passes over a run of cells. The first lists the run's cells on
  // the surface (from surface_[range.begin] on; their number in
  // surfaceCells) with their cases, marks their crossed edges and returns
  // the run's count of index entries; the second writes those entries from
  // `at` on.
  uint32_t classifyCells(const WorkRange& range, uint32_t& surfaceCells);
  void writeIndices(const WorkRange& range, uint32_t surfaceCells, uint32_t at);
  // Numbers the marked edges in edge order and lists them in crossings_.
  void numberCrossings();
  // Splits [0, count) into activeWorkers_ ranges, posts message to each of
  // those workers and waits for them all.
  void runOnWorkers(unsigned message, int32_t count, FieldFunction f);

  int32_t cellsX_ = 0, cellsY_ = 0, cellsZ_ = 0;
  float stepX_[4] = {0, 0, 0, 1};
  float stepY_[4] = {0, 0, 0, 1};
  float stepZ_[4] = {0, 0, 0, 1};

  std::unique_ptr<GridPoint[]> points_;
  size_t pointCount_ = 0;
  std::unique_ptr<GridCell[]> cells_;
  size_t cellCount_ = 0;
  std::unique_ptr<GridEdge[]> edges_;
  size_t edgeCount_ = 0;
  std::unique_ptr<GridEdge*[]> crossings_;  // edgeCount_ entries

  MeshVertex* vertices_ = nullptr;
  uint32_t vertexCapacity_ = 0, vertexCount_ = 0;
  uint32_t* indices_ = nullptr;
  uint32_t indexCapacity_ = 0, indexCount_ = 0;

  std::unique_ptr<uint8_t[]> cases_;  // the surface cells' cases, between the cell passes
  std::unique_ptr<uint32_t[]> surface_;  // the surface cells, each run's from its first cell on
  std::unique_ptr<uint8_t[]> signs_;  // each point's value's sign bit
  std::unique_ptr<std::atomic<uint64_t>[]> crossed_;  // bit e: edge e is crossed
  size_t crossedWords_ = 0;
  
  // The grid startBuildingGrid is having built, while it is.
  float gridMax_[3] = {}, gridMin_[3] = {};
  bool gridPending_ = false;

  int activeWorkers_ = kMaxWorkers;
  bool splitWalks_ = true;
  bool splitVertices_ = false;
  // Per worker: its run's count in the first cell pass, where its entries begin in the second.
  uint32_t runCount_[kMaxWorkers] = {};
  uint32_t runBase_[kMaxWorkers] = {};
  uint32_t runSurface_[kMaxWorkers] = {};  // the run's cells on the surface
  const int workerCount_ = kMaxWorkers;
  std::unique_ptr<WorkRange[]> work_;
  AutoResetEvent done_[kMaxWorkers];
  std::unique_ptr<MessageWorker> workers_[kMaxWorkers];  // after done_: ends first
};
