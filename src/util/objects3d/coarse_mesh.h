#pragma once
// A coarser triangle list over a mesh's own vertices, for a copy seen small
// and soft (a reflection under tinted glass): every vertex stands for the
// first vertex (in vertex order) that lies in its cell of a grid `cell`
// units wide, and the triangles that lose a corner to that merge are left
// out. No vertex is made or moved, so the list indexes the same vertex
// buffer; the triangles kept keep their winding. The same input gives the
// same list. A mesh smaller than a cell may keep no triangle at all.
#include <cstdint>
#include <vector>

std::vector<uint32_t> coarseTriangles(const std::vector<float>& positions, uint32_t stride,
                                      const std::vector<uint32_t>& indices, float cell);
