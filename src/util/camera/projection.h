#pragma once
// The projection and viewing transforms the classic GL utility library
// offers, with the same arithmetic (so the same matrices to the last bit), so
// that the program needs no GLU at run time. Each multiplies the current GL
// matrix, as glMultMatrix does.
#include <array>

// Column-major, as GL expects.
using Matrix4d = std::array<double, 16>;
using Matrix4f = std::array<float, 16>;

// The perspective projection: vertical field of view `fovy` in degrees,
// width / height `aspect`, clip planes at `zNear` and `zFar` (both positive).
Matrix4d perspectiveMatrix(double fovy, double aspect, double zNear, double zFar);

// The rotation of a camera at `eye` looking at `center` with `up` roughly up
// (the translation by -eye is applied separately, in double precision).
Matrix4f lookAtRotation(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                        double centerZ, double upX, double upY, double upZ);

void multiplyPerspective(double fovy, double aspect, double zNear, double zFar);
void multiplyLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                    double centerZ, double upX, double upY, double upZ);
// The 2D projection of the rectangle [left, right] x [bottom, top] with the
// depth range -1..1.
void multiplyOrtho2D(double left, double right, double bottom, double top);
