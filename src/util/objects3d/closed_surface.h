#pragma once
// Whether a triangle list is a closed surface turned outward: every edge
// joins exactly two triangles that run along it in opposite directions, and
// the enclosed volume is positive with counter-clockwise fronts. Positions
// are compared by value, so a seam that repeats a position in the file (for
// its other normal or texture coordinate) still joins. `corners` index
// `source` (three floats a position); a list with a position that is not a
// finite number, or with a stride other than 3, is not closed.
#include <cstdint>
#include <vector>

bool isClosedSurface(const std::vector<float>& source, uint32_t stride, const std::vector<uint32_t>& corners);
