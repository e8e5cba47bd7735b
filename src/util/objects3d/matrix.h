#pragma once
// Matrix: a 4 x 4 float matrix laid out as OpenGL stores it, column-major:
// element (row r, column c) is m[4 * c + r], so the translation sits in
// m[12], m[13], m[14] and data() can go straight to glMultMatrixf or
// glLoadMatrixf. The loaders, the object model, the camera and the scenes
// all share this one type.
//
// translate, rotate and scale post-multiply (M := M x T), composing the way
// the GL matrix stack does; rotate takes degrees about an axis, as glRotatef.

struct Matrix {
  float m[16];

  Matrix();  // the identity
  static Matrix identity() { return Matrix(); }
  // From 16 floats in GL (column-major) order.
  static Matrix fromColumnMajor(const float* values);

  float& operator()(int row, int column) { return m[4 * column + row]; }
  float operator()(int row, int column) const { return m[4 * column + row]; }
  float& operator[](int index) { return m[index]; }
  float operator[](int index) const { return m[index]; }
  const float* data() const { return m; }
  float* data() { return m; }

  // The ordinary product this x other, as glMultMatrixf(other) composes
  // onto a stack holding this.
  Matrix operator*(const Matrix& other) const;

  Matrix& translate(float x, float y, float z);
  // A zero axis leaves the matrix as it is, like glRotatef.
  Matrix& rotate(float degrees, float x, float y, float z);
  Matrix& scale(float x, float y, float z);

  Matrix transposed() const;
  float determinant() const;
  // Adjugate over determinant; a determinant of exactly 0 gives the identity,
  // so a degenerate node transform or camera never poisons a whole frame.
  Matrix inverse() const;

  // Element-wise linear blend a x (1 - t) + b x t (no decomposition into
  // rotation and translation).
  static Matrix blend(const Matrix& a, const Matrix& b, float t);

  bool operator==(const Matrix& other) const;
  bool operator!=(const Matrix& other) const { return !(*this == other); }
};

// Whether the box [min, max] lies wholly outside the clip volume of a
// projection x modelview: all eight corners beyond one of its six planes.
// A box that only might be seen counts as seen.
bool boxOutsideClipVolume(const Matrix& projectionModelview, const float min[3], const float max[3]);
