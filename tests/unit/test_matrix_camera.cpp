// Matrix arithmetic and the camera's and light's plain-value rules; no GL.
#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <random>

#include "util/camera/camera.h"
#include "util/lights/light.h"
#include "util/objects3d/matrix.h"

namespace {

void expectNear(const Matrix& actual, const Matrix& expected, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

Matrix randomMatrix(std::mt19937& random) {
  std::uniform_real_distribution<float> value(-3.0f, 3.0f);
  Matrix m;
  for (float& v : m.m) v = value(random);
  return m;
}

// Rows as written on paper, stored column-major.
Matrix rows(std::initializer_list<float> values) {
  Matrix m;
  int i = 0;
  for (float v : values) {
    m(i / 4, i % 4) = v;
    ++i;
  }
  return m;
}

TEST(Matrix, StoresColumnMajorWithTheTranslationInTwelveToFourteen) {
  Matrix m;
  m.translate(2.0f, 3.0f, 4.0f);
  EXPECT_EQ(m[12], 2.0f);
  EXPECT_EQ(m[13], 3.0f);
  EXPECT_EQ(m[14], 4.0f);
  EXPECT_EQ(m(1, 3), 3.0f);
  m(2, 0) = 9.0f;
  EXPECT_EQ(m[2], 9.0f);
}

TEST(Matrix, ProductKeepsItsOrder) {
  Matrix a = rows({1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  Matrix b = rows({1, 0, 0, 0, 3, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  expectNear(a * b, rows({7, 2, 0, 0, 3, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  expectNear(b * a, rows({1, 2, 0, 0, 3, 7, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
}

TEST(Matrix, TransformsPostMultiplyLikeTheGlStack) {
  // Translate then scale: a point is scaled first, then moved.
  Matrix m;
  m.translate(10.0f, 0.0f, 0.0f).scale(2.0f, 3.0f, 4.0f);
  expectNear(m, rows({2, 0, 0, 10, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}));
  Matrix n;
  n.scale(2.0f, 3.0f, 4.0f).translate(10.0f, 0.0f, 0.0f);
  expectNear(n, rows({2, 0, 0, 20, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}));
}

TEST(Matrix, RotatesCounterClockwiseInDegreesAboutANormalisedAxis) {
  Matrix m;
  m.rotate(90.0f, 0.0f, 0.0f, 5.0f);  // the axis need not be unit length
  // x goes to y, y to -x.
  expectNear(m, rows({0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  Matrix third;
  third.rotate(120.0f, 1.0f, 1.0f, 1.0f);  // cycles the axes x -> y -> z
  expectNear(third, rows({0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
  Matrix still;
  still.rotate(30.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(still, Matrix());
}

TEST(Matrix, Transposes) {
  Matrix m = rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  EXPECT_EQ(m.transposed(), rows({1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}));
}

TEST(Matrix, InverseUndoesArbitraryMatrices) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    Matrix m = randomMatrix(random);
    if (std::fabs(m.determinant()) < 0.5f) continue;
    expectNear(m * m.inverse(), Matrix(), 2e-4f);
    expectNear(m.inverse() * m, Matrix(), 2e-4f);
  }
  Matrix rigid;
  rigid.translate(1.0f, -2.0f, 3.0f).rotate(33.0f, 0.3f, 1.0f, -0.2f).scale(2.0f, 0.5f, 4.0f);
  Matrix undo;
  undo.scale(0.5f, 2.0f, 0.25f).rotate(-33.0f, 0.3f, 1.0f, -0.2f).translate(-1.0f, 2.0f, -3.0f);
  expectNear(rigid.inverse(), undo);
}

TEST(Matrix, DeterminantOfKnownMatrices) {
  EXPECT_FLOAT_EQ(rows({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 5}).determinant(), 120.0f);
  // Swapping two rows of the identity flips the sign.
  EXPECT_FLOAT_EQ(rows({0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).determinant(), -1.0f);
  EXPECT_FLOAT_EQ(rows({1, 2, 3, 4, 5, 6, 7, 8, 2, 6, 4, 8, 3, 1, 1, 2}).determinant(), 72.0f);
}

TEST(Matrix, SingularMatrixInvertsToTheIdentity) {
  Matrix flat;
  flat.translate(3.0f, 4.0f, 5.0f).scale(2.0f, 2.0f, 0.0f);  // as a floor quad is drawn
  EXPECT_EQ(flat.determinant(), 0.0f);
  EXPECT_EQ(flat.inverse(), Matrix());
  Matrix zero;
  for (float& v : zero.m) v = 0.0f;
  EXPECT_EQ(zero.inverse(), Matrix());
}

TEST(Camera, StartsUnset) {
  Camera camera;
  EXPECT_TRUE(camera.name.empty());
  EXPECT_EQ(camera.xfov, -1.0f);
  EXPECT_EQ(camera.yfov, -1.0f);
  EXPECT_EQ(camera.znear, -1.0f);
  EXPECT_EQ(camera.zfar, -1.0f);
  EXPECT_EQ(camera.view, Matrix());
  EXPECT_EQ(camera.focusPoint, -1.0f);
  EXPECT_EQ(camera.focusRange, -1.0f);
  EXPECT_EQ(camera.focusFalloff, -1.0f);
}

TEST(Camera, CopyTakesEverythingButTheName) {
  Camera source;
  source.name = "Camera01";
  source.xfov = 80.0f;
  source.znear = 0.5f;
  source.zfar = 900.0f;
  source.view.translate(1.0f, 2.0f, 3.0f);
  source.focusPoint = 12.0f;
  source.focusRange = 3.0f;
  source.focusFalloff = 0.25f;

  Camera copied(source);
  EXPECT_TRUE(copied.name.empty());
  Camera assigned;
  assigned.name = "working";
  assigned = source;
  EXPECT_EQ(assigned.name, "working");
  for (const Camera* c : {&copied, &assigned}) {
    EXPECT_EQ(c->xfov, 80.0f);
    EXPECT_EQ(c->znear, 0.5f);
    EXPECT_EQ(c->zfar, 900.0f);
    EXPECT_EQ(c->view, source.view);
    EXPECT_EQ(c->focusPoint, 12.0f);
    EXPECT_EQ(c->focusRange, 3.0f);
    EXPECT_EQ(c->focusFalloff, 0.25f);
  }
}

class CameraBlend : public ::testing::Test {
 protected:
  void SetUp() override {
    from.yfov = 40.0f;
    from.znear = 1.0f;
    from.zfar = 100.0f;
    from.view.translate(0.0f, 0.0f, -10.0f);
    to.yfov = 60.0f;
    to.znear = 3.0f;
    to.zfar = 300.0f;
    to.view.rotate(90.0f, 0.0f, 1.0f, 0.0f).translate(4.0f, 0.0f, 0.0f);
    out.name = "blended";
    out.xfov = 77.0f;
    out.focusPoint = 5.0f;
    out.focusRange = 6.0f;
    out.focusFalloff = 7.0f;
  }
  Camera from, to, out;
};

TEST_F(CameraBlend, EndpointsAreTheTwoCameras) {
  Camera::blend(from, to, 0.0f, out);
  EXPECT_EQ(out.view, from.view);
  EXPECT_EQ(out.yfov, 40.0f);
  EXPECT_EQ(out.znear, 1.0f);
  EXPECT_EQ(out.zfar, 100.0f);
  Camera::blend(from, to, 1.0f, out);
  expectNear(out.view, to.view, 1e-6f);
  EXPECT_EQ(out.yfov, 60.0f);
  EXPECT_EQ(out.znear, 3.0f);
  EXPECT_EQ(out.zfar, 300.0f);
}

TEST_F(CameraBlend, HalfwayIsTheElementWiseMeanNotARotation) {
  Camera::blend(from, to, 0.5f, out);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(out.view[i], (from.view[i] + to.view[i]) / 2, 1e-6f) << i;
  // Halfway between the identity and a quarter turn the x column is no longer unit length.
  float length = std::sqrt(out.view[0] * out.view[0] + out.view[1] * out.view[1] +
                           out.view[2] * out.view[2]);
  EXPECT_NEAR(length, std::sqrt(0.5f), 1e-5f);
  EXPECT_FLOAT_EQ(out.yfov, 50.0f);
  EXPECT_FLOAT_EQ(out.znear, 2.0f);
  EXPECT_FLOAT_EQ(out.zfar, 200.0f);
}

TEST_F(CameraBlend, LeavesNameHorizontalFieldAndFocusAlone) {
  Camera::blend(from, to, 0.3f, out);
  EXPECT_EQ(out.name, "blended");
  EXPECT_EQ(out.xfov, 77.0f);
  EXPECT_EQ(out.focusPoint, 5.0f);
  EXPECT_EQ(out.focusRange, 6.0f);
  EXPECT_EQ(out.focusFalloff, 7.0f);
}

TEST_F(CameraBlend, OutputMayBeAnInput) {
  Camera expected;
  Camera::blend(from, to, 0.25f, expected);
  Camera::blend(from, to, 0.25f, from);
  EXPECT_EQ(from.view, expected.view);
  EXPECT_EQ(from.zfar, expected.zfar);
}

TEST(Light, DefaultsAreAnUnlitPointLightAsGlHasThem) {
  Light light;
  EXPECT_EQ(light.type, Light::kPoint);
  EXPECT_EQ(light.position[3], 1.0f);
  EXPECT_EQ(light.spotDirection[3], 1.0f);
  EXPECT_EQ(light.diffuse[0], 0.0f);
  EXPECT_EQ(light.constantAttenuation, 1.0f);
  EXPECT_EQ(light.linearAttenuation, 0.0f);
  EXPECT_EQ(light.quadraticAttenuation, 0.0f);
  EXPECT_EQ(light.spotCutoff, 180.0f);
  EXPECT_EQ(light.spotExponent, 0.0f);
}

}  // namespace

namespace {

// A perspective projection as glFrustum makes it: 90 degrees across, near 1, far 100.
Matrix frustum90() {
  Matrix p;
  for (float& v : p.m) v = 0.0f;
  p(0, 0) = 1.0f;
  p(1, 1) = 1.0f;
  p(2, 2) = -101.0f / 99.0f;
  p(2, 3) = -200.0f / 99.0f;
  p(3, 2) = -1.0f;
  return p;
}

TEST(Matrix, ABoxIsOutsideTheClipVolumeOnlyWhenWhollyBeyondOnePlane) {
  const Matrix view = frustum90();  // the eye at the origin looking down -z
  auto outside = [&](float x0, float y0, float z0, float x1, float y1, float z1) {
    const float min[3] = {x0, y0, z0}, max[3] = {x1, y1, z1};
    return boxOutsideClipVolume(view, min, max);
  };
  EXPECT_FALSE(outside(-1, -1, -11, 1, 1, -9)) << "straight ahead";
  EXPECT_TRUE(outside(-1, -1, 9, 1, 1, 11)) << "behind the eye";
  EXPECT_TRUE(outside(20, -1, -11, 22, 1, -9)) << "far to the right";
  EXPECT_FALSE(outside(9, -1, -11, 12, 1, -9)) << "across the right edge";
  EXPECT_TRUE(outside(-1, -1, -300, 1, 1, -200)) << "beyond the far plane";
  EXPECT_FALSE(outside(-50, -50, -50, 50, 50, 50)) << "around the eye";
  // Moved by a modelview: the box straight ahead, then turned away.
  Matrix turned = view;
  turned = turned * Matrix().rotate(180.0f, 0, 1, 0);
  EXPECT_TRUE(boxOutsideClipVolume(turned, std::array<float, 3>{-1, -1, -11}.data(),
                                   std::array<float, 3>{1, 1, -9}.data()));
}

}  // namespace
