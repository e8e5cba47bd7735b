#include "util/marching_cubes/marching_cubes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

// The corners each cell edge joins, lower point first.
const int kEdgeCorners[12][2] = {{0, 1}, {1, 3}, {2, 3}, {0, 2}, {4, 5}, {5, 7},
                                 {6, 7}, {4, 6}, {0, 4}, {1, 5}, {3, 7}, {2, 6}};

int edgeJoining(int c0, int c1) {
  for (int e = 0; e < 12; ++e)
    if (kEdgeCorners[e][0] == c0 && kEdgeCorners[e][1] == c1) return e;
  return -1;
}

// For edge e of a cell and axis k: the number of the same grid edge in the
// neighbour one step lower along k, or -1 when e is not on the cell's low
// face across k (so that neighbour does not have it).
struct SharedEdges {
  int lower[3][12];
  SharedEdges() {
    for (int k = 0; k < 3; ++k)
      for (int e = 0; e < 12; ++e) {
        const int bit = 1 << k;
        const int c0 = kEdgeCorners[e][0], c1 = kEdgeCorners[e][1];
        lower[k][e] = (c0 & bit) || (c1 & bit) ? -1 : edgeJoining(c0 | bit, c1 | bit);
      }
  }
};

// For each cube case: the cell edges whose two corners lie on different
// sides, bit e for edge e.
struct CrossedEdges {
  uint16_t mask[256];
  CrossedEdges() {
    for (unsigned cubeCase = 0; cubeCase < 256; ++cubeCase) {
      mask[cubeCase] = 0;
      for (int e = 0; e < 12; ++e)
        if (((cubeCase >> kEdgeCorners[e][0]) ^ (cubeCase >> kEdgeCorners[e][1])) & 1u)
          mask[cubeCase] = static_cast<uint16_t>(mask[cubeCase] | (1u << e));
    }
  }
};
const CrossedEdges kCrossed;

// The most entries a grid's mesh can have: one vertex per edge, five
// triangles per cell.
constexpr uint32_t kMostIndicesPerCell = 15;

// Room for `count` entries. Pages are only taken by the system as the mesh
// first reaches them, so the worst case costs address space, not memory.
template <typename T>
T* allocateArray(T* array, size_t count) {
  std::free(array);
  void* room = std::malloc(sizeof(T) * count);
  if (!room) throw std::bad_alloc();
  return static_cast<T*>(room);
}

}  // namespace

MarchingCubes::MarchingCubes() : work_(new WorkRange[kMaxWorkers]) {
  for (int i = 0; i < workerCount_; ++i) {
    work_[i] = WorkRange{0, 0};
    workers_[i].reset(new MessageWorker([this](const WorkerMessage& m) { handle(m); }));
  }
}

MarchingCubes::~MarchingCubes() {
  finishGrid();
  for (auto& worker : workers_) worker.reset();
  std::free(vertices_);
  std::free(indices_);
}

void MarchingCubes::setActiveWorkers(int count) {
  activeWorkers_ = count < 1 ? 1 : count > workerCount_ ? workerCount_ : count;
}

void MarchingCubes::buildGrid(const float max[3], const float min[3]) {
  cellsX_ = cellsY_ = cellsZ_ = 40;
  float* steps[3] = {stepX_, stepY_, stepZ_};
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 3; ++i) steps[k][i] = 0.0f;
    steps[k][k] = (max[k] - min[k]) * 0.003125f;
    steps[k][3] = 1.0f;
  }

  const int32_t px = cellsX_ + 1, py = cellsY_ + 1, pz = cellsZ_ + 1;
  pointCount_ = static_cast<size_t>(px) * py * pz;
  points_.reset(new GridPoint[pointCount_]);
  GridPoint* point = points_.get();
  for (int32_t z = 0; z < pz; ++z)
    for (int32_t y = 0; y < py; ++y)
      for (int32_t x = 0; x < px; ++x, ++point) {
        const int32_t index[3] = {x, y, z};
        for (int k = 0; k < 3; ++k) {
          const float t = static_cast<float>(index[k]) * 0.025f;
          point->position[k] = (1.0f - t) * min[k] + t * max[k];
        }
        point->position[3] = 1.0f;
        point->value = 0.0f;
      }

  cellCount_ = static_cast<size_t>(cellsX_) * cellsY_ * cellsZ_;
  edgeCount_ = static_cast<size_t>(cellsX_) * py * pz + static_cast<size_t>(px) * cellsY_ * pz +
               static_cast<size_t>(px) * py * cellsZ_;
  cells_.reset(new GridCell[cellCount_]);
  edges_.reset(new GridEdge[edgeCount_]);
  crossings_.reset(new GridEdge*[edgeCount_]);
  cases_.reset(new uint8_t[cellCount_]);
  surface_.reset(new uint32_t[cellCount_]);
  signs_.reset(new uint8_t[pointCount_]);
  crossedWords_ = (edgeCount_ + 63) / 64;
  crossed_.reset(new std::atomic<uint64_t>[crossedWords_]);
  vertices_ = allocateArray(vertices_, edgeCount_);
  vertexCapacity_ = static_cast<uint32_t>(edgeCount_);
  indices_ = allocateArray(indices_, cellCount_ * kMostIndicesPerCell);
  indexCapacity_ = static_cast<uint32_t>(cellCount_ * kMostIndicesPerCell);

  static const SharedEdges shared;
  const ptrdiff_t lowerCell[3] = {1, cellsX_, static_cast<ptrdiff_t>(cellsX_) * cellsY_};
  size_t created = 0;
  GridCell* cell = cells_.get();
  for (int32_t z = 0; z < cellsZ_; ++z)
    for (int32_t y = 0; y < cellsY_; ++y)
      for (int32_t x = 0; x < cellsX_; ++x, ++cell) {
        for (int c = 0; c < 8; ++c) {
          const int32_t cx = x + (c & 1), cy = y + ((c >> 1) & 1), cz = z + ((c >> 2) & 1);
          cell->corners[c] = &points_[(static_cast<size_t>(cz) * py + cy) * px + cx];
        }
        const bool hasLower[3] = {x > 0, y > 0, z > 0};
        for (int e = 0; e < 12; ++e) {
          GridEdge* edge = nullptr;
          for (int k = 0; k < 3 && !edge; ++k)
            if (hasLower[k] && shared.lower[k][e] >= 0)
              edge = (cell - lowerCell[k])->edges[shared.lower[k][e]];
          if (!edge) {
            edge = &edges_[created++];
            edge->a = cell->corners[kEdgeCorners[e][0]];
            edge->b = cell->corners[kEdgeCorners[e][1]];
            edge->vertex = 0;
          }
          cell->edges[e] = edge;
        }
      }
  edgeCount_ = created;  // the count above, unless the walk is wrong (tested)
}

void MarchingCubes::startBuildingGrid(const float max[3], const float min[3]) {
  finishGrid();
  for (int k = 0; k < 3; ++k) {
    gridMax_[k] = max[k];
    gridMin_[k] = min[k];
  }
  gridPending_ = true;
  workers_[0]->post(kBuildGrid, 0, nullptr);
}

void MarchingCubes::finishGrid() {
  if (!gridPending_) return;
  done_[0].wait();
  gridPending_ = false;
}

void MarchingCubes::handle(const WorkerMessage& message) {
  const size_t index = message.wParam;
  if (index >= static_cast<size_t>(workerCount_)) return;
  const int w = static_cast<int>(index);
  const FieldFunction f = reinterpret_cast<FieldFunction>(message.lParam);
  switch (message.message) {
    case kEvaluatePoints: evaluatePoints(work_[index], f); break;
    case kComputeVertices: computeVertices(work_[index], f); break;
    case kClassifyCells: runCount_[w] = classifyCells(work_[index], runSurface_[w]); break;
    case kWriteIndices: writeIndices(work_[index], runSurface_[w], runBase_[w]); break;
    case kBuildGrid: buildGrid(gridMax_, gridMin_); break;
    default: return;  // not ours: nobody waits for it
  }
  done_[index].signal();
}

uint32_t MarchingCubes::classifyCells(const WorkRange& range, uint32_t& surfaceCells) {
  const int32_t perSlice = cellsX_ * cellsY_;
  // Corner 1, 2 and 4 of a cell are one point along x, y (up) and z (back).
  const ptrdiff_t px = cellsX_ + 1, up = px, back = px * (cellsY_ + 1);
  const uint8_t* signs = signs_.get();
  const GridEdge* edges = edges_.get();
  uint32_t* surface = surface_.get() + range.begin;
  uint32_t count = 0, listed = 0;
  int32_t c = range.begin;
  while (c < range.end) {
    // Along a row of cells: each cell's high corners (bits 1, 3, 5, 7) are
    // the next one's low corners (bits 0, 2, 4, 6).
    const int32_t x0 = c % cellsX_, y = c % perSlice / cellsX_, z = c / perSlice;
    const int32_t rowEnd = std::min(range.end, c + (cellsX_ - x0));
    const uint8_t* p = signs + z * back + y * up + x0;  // the cell's corner 0
    // As if a cell before it had these as its high corners.
    unsigned cubeCase = static_cast<unsigned>(p[0]) << 1 | static_cast<unsigned>(p[up]) << 3 |
                        static_cast<unsigned>(p[back]) << 5 | static_cast<unsigned>(p[up + back]) << 7;
    for (; c < rowEnd; ++c, ++p) {
      cubeCase = (cubeCase >> 1 & 0x55u) | static_cast<unsigned>(p[1]) << 1 |
                 static_cast<unsigned>(p[1 + up]) << 3 | static_cast<unsigned>(p[1 + back]) << 5 |
                 static_cast<unsigned>(p[1 + up + back]) << 7;
      if (cubeCase == 0 || cubeCase == 0xFF) continue;
      cases_[c] = static_cast<uint8_t>(cubeCase);
      surface[listed++] = static_cast<uint32_t>(c);
      count += static_cast<uint32_t>(kTriangleTable[cubeCase][0]);
      // Mark the crossed edges; a neighbour in another worker's run may share one.
      for (unsigned mask = kCrossed.mask[cubeCase]; mask; mask &= mask - 1) {
        const size_t edge = static_cast<size_t>(cells_[c].edges[__builtin_ctz(mask)] - edges);
        crossed_[edge / 64].fetch_or(uint64_t{1} << (edge % 64), std::memory_order_relaxed);
      }
    }
  }
  surfaceCells = listed;
  return count;
}

void MarchingCubes::numberCrossings() {
  GridEdge* edges = edges_.get();
  GridEdge** crossings = crossings_.get();
  vertexCount_ = 0;
  for (size_t word = 0; word < crossedWords_; ++word) {
    for (uint64_t bits = crossed_[word].load(std::memory_order_relaxed); bits; bits &= bits - 1) {
      GridEdge& edge = edges[word * 64 + static_cast<size_t>(__builtin_ctzll(bits))];
      edge.vertex = vertexCount_;
      crossings[vertexCount_++] = &edge;
    }
  }
}

void MarchingCubes::writeIndices(const WorkRange& range, uint32_t surfaceCells, uint32_t at) {
  const GridCell* cells = cells_.get();
  const uint32_t* surface = surface_.get() + range.begin;
  for (uint32_t k = 0; k < surfaceCells; ++k) {
    const uint32_t c = surface[k];
    const int8_t* row = kTriangleTable[cases_[c]];
    for (int i = 0; i < row[0]; ++i) indices_[at++] = cells[c].edges[row[1 + i]]->vertex;
  }
}

void MarchingCubes::evaluatePoints(const WorkRange& range, FieldFunction f) {
  GridPoint* points = points_.get();
  for (int32_t p = range.begin; p < range.end; ++p) {
    points[p].value = f(points[p].position);
    signs_[p] = static_cast<uint8_t>(std::signbit(points[p].value));
  }
}

void MarchingCubes::computeVertices(const WorkRange& range, FieldFunction f) {
  for (int32_t i = range.begin; i < range.end; ++i) placeVertex(*crossings_[i], f);
}

void MarchingCubes::placeVertex(const GridEdge& edge, FieldFunction f) {
  const float va = edge.a->value, vb = edge.b->value;
  const float difference = va - vb;
  // +0 against -0 differ in sign bit but not in value: take a, not 0/0.
  const float t = difference == 0.0f ? 0.0f : va / difference;
  const float* pa = edge.a->position;
  const float* pb = edge.b->position;
  const float p[3] = {pa[0] + t * (pb[0] - pa[0]), pa[1] + t * (pb[1] - pa[1]),
                      pa[2] + t * (pb[2] - pa[2])};
  const float f0 = f(p);
  const float px[3] = {p[0] + stepX_[0], p[1] + stepX_[1], p[2] + stepX_[2]};
  const float py[3] = {p[0] + stepY_[0], p[1] + stepY_[1], p[2] + stepY_[2]};
  const float pz[3] = {p[0] + stepZ_[0], p[1] + stepZ_[1], p[2] + stepZ_[2]};
  float n[3] = {f0 - f(px), f0 - f(py), f0 - f(pz)};
  const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length > 0.0f) {
    const float inverse = 1.0f / length;
    for (float& component : n) component *= inverse;
  }
  MeshVertex& v = vertices_[edge.vertex];
  v.position[0] = p[0];
  v.position[1] = p[1];
  v.position[2] = p[2];
  v.pad = 1.0f;
  v.normal[0] = n[0];
  v.normal[1] = n[1];
  v.normal[2] = n[2];
  v.pad2 = 0.0f;
}

void MarchingCubes::runOnWorkers(unsigned message, int32_t count, FieldFunction f) {
  const int workers = activeWorkers_;
  for (int i = 0; i < workers; ++i)
    work_[i] = WorkRange{static_cast<int32_t>(static_cast<int64_t>(count) * i / workers),
                         static_cast<int32_t>(static_cast<int64_t>(count) * (i + 1) / workers)};
  for (int i = 0; i < workers; ++i)
    workers_[i]->post(message, static_cast<uintptr_t>(i), reinterpret_cast<void*>(f));
  for (int i = 0; i < workers; ++i) done_[i].wait();
}

void MarchingCubes::polygonise(FieldFunction f) {
  finishGrid();
  if (!points_) return;
  runOnWorkers(kEvaluatePoints, static_cast<int32_t>(pointCount_), f);
  for (size_t word = 0; word < crossedWords_; ++word) crossed_[word].store(0, std::memory_order_relaxed);
  const int32_t cells = static_cast<int32_t>(cellCount_);
  if (splitWalks_) {
    // Each worker classifies its run of cells; then the runs' entries are
    // written where the counts before them end.
    runOnWorkers(kClassifyCells, cells, f);
    numberCrossings();
    if (vertexCount_ > 0) runOnWorkers(kComputeVertices, static_cast<int32_t>(vertexCount_), f);
    indexCount_ = 0;
    for (int i = 0; i < activeWorkers_; ++i) {
      runBase_[i] = indexCount_;
      indexCount_ += runCount_[i];
    }
    runOnWorkers(kWriteIndices, cells, f);
    return;
  }
  uint32_t surfaceCells = 0;
  indexCount_ = classifyCells(WorkRange{0, cells}, surfaceCells);
  numberCrossings();
  if (splitVertices_ && vertexCount_ > 0)
    runOnWorkers(kComputeVertices, static_cast<int32_t>(vertexCount_), f);
  else
    computeVertices(WorkRange{0, static_cast<int32_t>(vertexCount_)}, f);
  writeIndices(WorkRange{0, cells}, surfaceCells, 0);
}
