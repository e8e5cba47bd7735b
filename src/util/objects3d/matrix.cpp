#include "util/objects3d/matrix.h"

#include <cmath>

Matrix::Matrix() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

Matrix Matrix::fromColumnMajor(const float* values) {
  Matrix result;
  for (int i = 0; i < 16; ++i) result.m[i] = values[i];
  return result;
}

Matrix Matrix::operator*(const Matrix& other) const {
  Matrix result;
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += (*this)(r, k) * other(k, c);
      result(r, c) = sum;
    }
  }
  return result;
}

Matrix& Matrix::translate(float x, float y, float z) {
  // Only the last column changes: M x T adds x, y, z times the first three columns.
  for (int r = 0; r < 4; ++r) (*this)(r, 3) += (*this)(r, 0) * x + (*this)(r, 1) * y + (*this)(r, 2) * z;
  return *this;
}

Matrix& Matrix::rotate(float degrees, float x, float y, float z) {
  float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0.0f) return *this;
  x /= length;
  y /= length;
  z /= length;
  float radians = degrees * static_cast<float>(M_PI / 180.0);
  float c = std::cos(radians);
  float s = std::sin(radians);
  float t = 1.0f - c;
  Matrix r;
  r(0, 0) = x * x * t + c;
  r(0, 1) = x * y * t - z * s;
  r(0, 2) = x * z * t + y * s;
  r(1, 0) = y * x * t + z * s;
  r(1, 1) = y * y * t + c;
  r(1, 2) = y * z * t - x * s;
  r(2, 0) = z * x * t - y * s;
  r(2, 1) = z * y * t + x * s;
  r(2, 2) = z * z * t + c;
  *this = *this * r;
  return *this;
}

Matrix& Matrix::scale(float x, float y, float z) {
  for (int r = 0; r < 4; ++r) {
    (*this)(r, 0) *= x;
    (*this)(r, 1) *= y;
    (*this)(r, 2) *= z;
  }
  return *this;
}

Matrix Matrix::transposed() const {
  Matrix result;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) result(r, c) = (*this)(c, r);
  return result;
}

namespace {

// Cofactor expansion over 2 x 2 minors of the top and bottom row pairs:
// s[] from rows 0-1, t[] from rows 2-3, each indexed by a column pair.
struct Minors {
  float s[6];
  float t[6];
};

Minors minors(const Matrix& a) {
  Minors n;
  const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  for (int i = 0; i < 6; ++i) {
    int p = pairs[i][0], q = pairs[i][1];
    n.s[i] = a(0, p) * a(1, q) - a(0, q) * a(1, p);
    n.t[i] = a(2, p) * a(3, q) - a(2, q) * a(3, p);
  }
  return n;
}

float determinantOf(const Minors& n) {
  // Laplace expansion by complementary minors (rows 0-1 against rows 2-3).
  return n.s[0] * n.t[5] - n.s[1] * n.t[4] + n.s[2] * n.t[3] + n.s[3] * n.t[2] - n.s[4] * n.t[1] +
         n.s[5] * n.t[0];
}

}  // namespace

float Matrix::determinant() const { return determinantOf(minors(*this)); }

Matrix Matrix::inverse() const {
  const Matrix& a = *this;
  Minors n = minors(a);
  float det = determinantOf(n);
  if (det == 0.0f) return Matrix();
  const float* s = n.s;
  const float* t = n.t;
  Matrix adj;
  adj(0, 0) = a(1, 1) * t[5] - a(1, 2) * t[4] + a(1, 3) * t[3];
  adj(0, 1) = -a(0, 1) * t[5] + a(0, 2) * t[4] - a(0, 3) * t[3];
  adj(0, 2) = a(3, 1) * s[5] - a(3, 2) * s[4] + a(3, 3) * s[3];
  adj(0, 3) = -a(2, 1) * s[5] + a(2, 2) * s[4] - a(2, 3) * s[3];

  adj(1, 0) = -a(1, 0) * t[5] + a(1, 2) * t[2] - a(1, 3) * t[1];
  adj(1, 1) = a(0, 0) * t[5] - a(0, 2) * t[2] + a(0, 3) * t[1];
  adj(1, 2) = -a(3, 0) * s[5] + a(3, 2) * s[2] - a(3, 3) * s[1];
  adj(1, 3) = a(2, 0) * s[5] - a(2, 2) * s[2] + a(2, 3) * s[1];

  adj(2, 0) = a(1, 0) * t[4] - a(1, 1) * t[2] + a(1, 3) * t[0];
  adj(2, 1) = -a(0, 0) * t[4] + a(0, 1) * t[2] - a(0, 3) * t[0];
  adj(2, 2) = a(3, 0) * s[4] - a(3, 1) * s[2] + a(3, 3) * s[0];
  adj(2, 3) = -a(2, 0) * s[4] + a(2, 1) * s[2] - a(2, 3) * s[0];

  adj(3, 0) = -a(1, 0) * t[3] + a(1, 1) * t[1] - a(1, 2) * t[0];
  adj(3, 1) = a(0, 0) * t[3] - a(0, 1) * t[1] + a(0, 2) * t[0];
  adj(3, 2) = -a(3, 0) * s[3] + a(3, 1) * s[1] - a(3, 2) * s[0];
  adj(3, 3) = a(2, 0) * s[3] - a(2, 1) * s[1] + a(2, 2) * s[0];

  float inv = 1.0f / det;
  for (float& v : adj.m) v *= inv;
  return adj;
}

Matrix Matrix::blend(const Matrix& a, const Matrix& b, float t) {
  Matrix result;
  for (int i = 0; i < 16; ++i) result.m[i] = a.m[i] * (1.0f - t) + b.m[i] * t;
  return result;
}

bool Matrix::operator==(const Matrix& other) const {
  for (int i = 0; i < 16; ++i)
    if (m[i] != other.m[i]) return false;
  return true;
}

bool boxOutsideClipVolume(const Matrix& pm, const float min[3], const float max[3]) {
  // For each plane, whether every corner so far lies beyond it: x < -w,
  // x > w, y < -w, y > w, z < -w, z > w.
  bool beyond[6] = {true, true, true, true, true, true};
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {(corner & 1) ? max[0] : min[0], (corner & 2) ? max[1] : min[1],
                        (corner & 4) ? max[2] : min[2]};
    float clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = pm(r, 0) * p[0] + pm(r, 1) * p[1] + pm(r, 2) * p[2] + pm(r, 3);
    for (int axis = 0; axis < 3; ++axis) {
      beyond[2 * axis] = beyond[2 * axis] && clip[axis] < -clip[3];
      beyond[2 * axis + 1] = beyond[2 * axis + 1] && clip[axis] > clip[3];
    }
  }
  for (bool plane : beyond)
    if (plane) return true;
  return false;
}
