#include "util/objects3d/coarse_mesh.h"

#include <cmath>
#include <unordered_map>

namespace {
// A cell's three grid coordinates in one key (21 bits each: a million
// cells each way, far beyond any model).
uint64_t cellKey(const float* position, uint32_t stride, float cell) {
  uint64_t key = 0;
  for (uint32_t axis = 0; axis < 3; ++axis) {
    const float value = axis < stride ? position[axis] : 0.0f;
    const auto index = static_cast<int64_t>(std::floor(value / cell));
    key = key << 21 | (static_cast<uint64_t>(index) & 0x1fffff);
  }
  return key;
}
struct Vec3 {
  float x, y, z;
};

Vec3 corner(const std::vector<float>& positions, uint32_t stride, uint32_t vertex) {
  const float* p = &positions[static_cast<size_t>(vertex) * stride];
  return {p[0], stride > 1 ? p[1] : 0.0f, stride > 2 ? p[2] : 0.0f};
}

// Not normalised: only its direction is compared.
Vec3 normal(const std::vector<float>& positions, uint32_t stride, uint32_t a, uint32_t b, uint32_t c) {
  const Vec3 p = corner(positions, stride, a), q = corner(positions, stride, b), r = corner(positions, stride, c);
  const Vec3 u = {q.x - p.x, q.y - p.y, q.z - p.z}, v = {r.x - p.x, r.y - p.y, r.z - p.z};
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
}  // namespace

std::vector<uint32_t> coarseTriangles(const std::vector<float>& positions, uint32_t stride,
                                      const std::vector<uint32_t>& indices, float cell) {
  if (stride == 0 || !(cell > 0.0f)) return indices;
  const size_t vertexCount = positions.size() / stride;
  std::vector<uint32_t> standsFor(vertexCount);
  std::unordered_map<uint64_t, uint32_t> firstInCell;
  firstInCell.reserve(vertexCount);
  for (size_t v = 0; v < vertexCount; ++v)
    standsFor[v] = firstInCell.emplace(cellKey(&positions[v * stride], stride, cell), static_cast<uint32_t>(v))
                       .first->second;
  std::vector<uint32_t> kept;
  kept.reserve(indices.size());
  for (size_t i = 0; i + 2 < indices.size(); i += 3) {
    if (indices[i] >= vertexCount || indices[i + 1] >= vertexCount || indices[i + 2] >= vertexCount) continue;
    const uint32_t a = standsFor[indices[i]], b = standsFor[indices[i + 1]], c = standsFor[indices[i + 2]];
    if (a == b || b == c || a == c) continue;
    // A thin triangle whose corners move can turn over: its back would then
    // face where its front did, and show where culling hid it.
    if (dot(normal(positions, stride, indices[i], indices[i + 1], indices[i + 2]),
            normal(positions, stride, a, b, c)) <= 0.0f)
      continue;
    kept.insert(kept.end(), {a, b, c});
  }
  return kept;
}
