#pragma once
// Ready-made meshes the scenes draw without loading a model, both with
// texture coordinates on unit 0, normals, and a per-vertex tangent as the
// texture unit 1 coordinate for the bump-mapping shaders. Drawn through the
// fixed-function modelview stack (pushed and popped). Their GL objects are
// process-wide, created on first use with the context current, and live as
// long as the program.

// The unit quad (0, 0)-(1, 1) in z = 0, translated to (x, y) and scaled by
// (w, h), with the texture repeated `repeat` times both ways; facing gives
// the normal +z, otherwise -z. Kept in a vertex and an index buffer that are
// refilled only when repeat or facing differ from the last call, and left
// bound afterwards; client texture unit 0 is left active.
void drawQuad(float x, float y, float w, float h, float repeat, bool facing);

// The cube from -1 to 1 scaled by (sizeX / 2, 1, sizeZ / 2), so sizeX x 2 x
// sizeZ units, centred at (x, y, z). Compiled into a display list once.
void drawBox(float sizeX, float sizeZ);
void drawBox(float sizeX, float sizeZ, float x, float y, float z);
