// The SGL model drawn: the interleaved layout reaches OpenGL with each
// float where the format puts it, and drawing leaves no client array state
// or buffer binding behind.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "util/objects3d/model_sgl.h"

namespace {

std::vector<uint8_t> sgl(int32_t count, int32_t format, int32_t mode, const std::vector<float>& f) {
  std::vector<uint8_t> out(12 + f.size() * 4);
  const int32_t header[3] = {count, format, mode};
  std::memcpy(out.data(), header, 12);
  std::memcpy(out.data() + 12, f.data(), f.size() * 4);
  return out;
}

// Two quads side by side in the z = 0 plane, 0..8 by 0..4 before unitize;
// the left faces the default light (+z), the right faces away.
std::vector<float> twoQuads() {
  std::vector<float> out;
  auto quad = [&out](float x0, float x1, float nz) {
    const float corners[6][2] = {{x0, 0}, {x1, 0}, {x1, 4}, {x0, 0}, {x1, 4}, {x0, 4}};
    for (const auto& c : corners) {
      const float vertex[8] = {c[0] / 8, c[1] / 4, 0, 0, nz, c[0], c[1], 0};
      out.insert(out.end(), vertex, vertex + 8);
    }
  };
  quad(0, 4, 1);
  quad(4, 8, -1);
  return out;
}

void resetView() {
  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glUseProgram(0);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

uint8_t redAt(int x, int y) {
  uint8_t rgba[4] = {};
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return rgba[0];
}

TEST(ModelSglDraw, PositionsAndNormalsComeFromTheirPlaceInTheVertex) {
  while (glGetError() != GL_NO_ERROR) {
  }
  Model_sgl model;
  const std::vector<uint8_t> bytes = sgl(12, GL_T2F_N3F_V3F, GL_TRIANGLES, twoQuads());
  ASSERT_TRUE(model.load(bytes.data(), bytes.size()));
  model.unitize();      // x -1..1, y -0.5..0.5
  model.scale(0.5f);    // x -0.5..0.5, y -0.25..0.25 of the window

  resetView();
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);  // the default light shines along -z
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);  // must not turn the client pointer into an offset
  model.draw();
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), buffer);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDeleteBuffers(1, &buffer);

  // The window is 640 x 360: the quads cover x 160..480, y 135..225.
  EXPECT_GT(redAt(240, 180), 150) << "the quad facing the light";
  EXPECT_LT(redAt(400, 180), 40) << "the quad facing away";
  EXPECT_GT(redAt(400, 180), 0) << "the quad facing away is still drawn (ambient)";
  EXPECT_EQ(redAt(100, 180), 0) << "outside, left";
  EXPECT_EQ(redAt(320, 250), 0) << "outside, above";
  EXPECT_EQ(redAt(520, 180), 0) << "outside, right";
}

TEST(ModelSglDraw, AnEmptyModelDrawsNothing) {
  while (glGetError() != GL_NO_ERROR) {
  }
  Model_sgl model;
  const std::vector<uint8_t> bytes = sgl(12, GL_T2F_N3F_V3F, GL_TRIANGLES, std::vector<float>(95));
  EXPECT_FALSE(model.load(bytes.data(), bytes.size()));
  resetView();
  glColor3f(1, 1, 1);
  model.draw();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(redAt(320, 180), 0);
}

}  // namespace
