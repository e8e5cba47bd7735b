// The SGL model without a window: the header rules, files that lie about
// their size, the per-format position offset behind every extent routine,
// and the bytes that the asset generator's writer produces.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/objects3d/model_sgl.h"
#include "data_index.h"

namespace {

using Bytes = std::vector<uint8_t>;

void putInt(Bytes& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
}

Bytes sgl(int32_t count, int32_t format, int32_t mode, const std::vector<float>& floats) {
  Bytes out;
  putInt(out, count);
  putInt(out, format);
  putInt(out, mode);
  const size_t at = out.size();
  out.resize(at + floats.size() * sizeof(float));
  std::memcpy(out.data() + at, floats.data(), floats.size() * sizeof(float));
  return out;
}

// Vertices of a format whose non-position floats are large decoys: an
// extent routine that reads at the wrong offset gives a different answer.
std::vector<float> vertices(GLenum format, const std::vector<std::array<float, 3>>& positions) {
  const int extra = Model_sgl::vertexSize(format) / 4 - 3;
  std::vector<float> out;
  for (size_t i = 0; i < positions.size(); ++i) {
    for (int k = 0; k < extra; ++k) out.push_back(100.0f + float(i * 10 + k));
    out.insert(out.end(), positions[i].begin(), positions[i].end());
  }
  return out;
}

bool load(Model_sgl& model, const Bytes& bytes, const char** why = nullptr) {
  return model.load(bytes.data(), bytes.size(), why);
}

void expectEmpty(const Model_sgl& model) {
  EXPECT_EQ(model.vertexData, nullptr);
  EXPECT_EQ(model.format, 0u);
  EXPECT_EQ(model.vertexCount, 0);
  EXPECT_EQ(model.mode, 0u);
  EXPECT_EQ(model.sizeOf, nullptr);
  EXPECT_EQ(model.translateRoutine, nullptr);
}

const GLenum kFormats[] = {GL_V3F, GL_N3F_V3F, GL_T2F_N3F_V3F};

TEST(ModelSgl, LoadsHeaderAndVertexBlockOfEveryFormat) {
  for (GLenum format : kFormats) {
    std::vector<float> floats = vertices(format, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    Model_sgl model;
    ASSERT_TRUE(load(model, sgl(3, format, GL_TRIANGLES, floats))) << std::hex << format;
    EXPECT_EQ(model.format, format);
    EXPECT_EQ(model.vertexCount, 3);
    EXPECT_EQ(model.mode, static_cast<GLenum>(GL_TRIANGLES));
    ASSERT_NE(model.vertexData, nullptr);
    EXPECT_EQ(std::memcmp(model.vertexData, floats.data(), floats.size() * 4), 0);
  }
}

TEST(ModelSgl, BytesAfterTheVerticesAreIgnored) {
  Bytes bytes = sgl(1, GL_V3F, GL_POINTS + 1, {1, 2, 3, 99, 99});
  Model_sgl model;
  EXPECT_TRUE(load(model, bytes));
  EXPECT_EQ(model.vertexCount, 1);
}

TEST(ModelSgl, AShortVertexBlockLoadsNothing) {
  // Ten vertices promised, nine present.
  std::vector<float> nine(9 * 6, 1.0f);
  Model_sgl model;
  const char* why = nullptr;
  EXPECT_FALSE(load(model, sgl(10, GL_N3F_V3F, GL_TRIANGLES, nine), &why));
  ASSERT_NE(why, nullptr);
  EXPECT_STREQ(why, "file shorter than its vertex count says");
  expectEmpty(model);
  // One float short of the last vertex is just as short.
  nine.resize(10 * 6 - 1, 1.0f);
  EXPECT_FALSE(load(model, sgl(10, GL_N3F_V3F, GL_TRIANGLES, nine)));
  nine.push_back(1.0f);
  EXPECT_TRUE(load(model, sgl(10, GL_N3F_V3F, GL_TRIANGLES, nine)));
}

TEST(ModelSgl, BadHeadersLoadNothing) {
  const std::vector<float> one = {0, 0, 0, 0, 0, 0, 0, 0};
  const struct {
    Bytes bytes;
    const char* why;
  } cases[] = {
      {sgl(1, 0x2A24 /* GL_C3F_V3F */, GL_TRIANGLES, one),
       "vertex format is not GL_V3F, GL_N3F_V3F or GL_T2F_N3F_V3F"},
      {sgl(1, GL_V3F + 0x10000, GL_TRIANGLES, one),
       "vertex format is not GL_V3F, GL_N3F_V3F or GL_T2F_N3F_V3F"},
      {sgl(1, -GL_V3F, GL_TRIANGLES, one), "vertex format not above 0"},
      {sgl(0, GL_V3F, GL_TRIANGLES, one), "vertex count not above 0"},
      {sgl(-1, GL_V3F, GL_TRIANGLES, one), "vertex count not above 0"},
      {sgl(1, GL_V3F, 0, one), "primitive mode not above 0"},
      {sgl(1, GL_V3F, -4, one), "primitive mode not above 0"},
      {Bytes{1, 0, 0, 0, 0x21, 0x2A, 0, 0, 4, 0, 0}, "file shorter than the 12-byte header"},
      {Bytes{}, "file shorter than the 12-byte header"},
  };
  for (const auto& c : cases) {
    Model_sgl model;
    const char* why = nullptr;
    EXPECT_FALSE(load(model, c.bytes, &why)) << c.why;
    EXPECT_STREQ(why, c.why);
    expectEmpty(model);
  }
}

TEST(ModelSgl, AbsurdCountsAreRefusedBeforeAllocating) {
  // 2^31 - 1 vertices of 32 bytes would be 64 GiB; int32 x 32 would also
  // overflow a 32-bit product.
  for (int32_t count : {0x7FFFFFFF, 0x08000000, 0x04000001}) {
    Model_sgl model;
    EXPECT_FALSE(load(model, sgl(count, GL_T2F_N3F_V3F, GL_TRIANGLES, std::vector<float>(64))));
    expectEmpty(model);
  }
}

TEST(ModelSgl, AFailedLoadEmptiesAModelThatHeldAMesh) {
  Model_sgl model;
  ASSERT_TRUE(load(model, sgl(1, GL_V3F, GL_TRIANGLES, {1, 2, 3})));
  EXPECT_FALSE(load(model, sgl(2, GL_V3F, GL_TRIANGLES, {1, 2, 3})));
  expectEmpty(model);
  float x = 7, y = 7, z = 7;
  model.getSize(x, y, z);
  EXPECT_EQ(x + y + z, 0.0f);
  model.unitize();  // nothing loaded: nothing to do, nothing to crash on
  model.scale(2.0f);
  model.translate(1, 1, 1);
}

TEST(ModelSgl, SizeIsAbsMaxPlusAbsMinAtThePositionOffsetOfEachFormat) {
  for (GLenum format : kFormats) {
    Model_sgl model;
    // x spans -3..5, y 2..10, z -1..-1; the decoys are all above 100.
    ASSERT_TRUE(load(model, sgl(3, format, GL_TRIANGLES,
                                vertices(format, {{5, 10, -1}, {-3, 2, -1}, {0, 4, -1}}))));
    float x, y, z;
    model.getSize(x, y, z);
    EXPECT_FLOAT_EQ(x, 8.0f) << std::hex << format;
    EXPECT_FLOAT_EQ(y, 12.0f) << std::hex << format;
    EXPECT_FLOAT_EQ(z, 2.0f) << std::hex << format;
    model.getCentre(x, y, z);
    EXPECT_FLOAT_EQ(x, 1.0f);
    EXPECT_FLOAT_EQ(y, 6.0f);
    EXPECT_FLOAT_EQ(z, -1.0f);
  }
}

TEST(ModelSgl, UnitizeCentresAndScalesTheLargestExtentToTwoLeavingTheRest) {
  for (GLenum format : kFormats) {
    std::vector<float> floats = vertices(format, {{0, 0, 0}, {10, 2, 2}, {5, 1, 0}});
    Model_sgl model;
    ASSERT_TRUE(load(model, sgl(3, format, GL_TRIANGLES, floats)));
    model.unitize();
    const float* v = reinterpret_cast<const float*>(model.vertexData);
    const int width = Model_sgl::vertexSize(format) / 4;
    const float expected[3][3] = {{-1, -0.2f, -0.2f}, {1, 0.2f, 0.2f}, {0, 0, -0.2f}};
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < width - 3; ++k)
        EXPECT_EQ(v[i * width + k], floats[i * width + k]) << "normal or texcoord moved";
      for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(v[i * width + width - 3 + a], expected[i][a], 1e-6f) << std::hex << format;
    }
  }
}

TEST(ModelSgl, UnitizeOfAPointMovesItToTheOriginWithoutNaN) {
  Model_sgl model;
  ASSERT_TRUE(load(model, sgl(2, GL_V3F, GL_TRIANGLES, {4, 5, 6, 4, 5, 6})));
  model.unitize();
  const float* v = reinterpret_cast<const float*>(model.vertexData);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i], 0.0f);
}

TEST(ModelSgl, UnitizeOfATinyMeshStillReachesTheUnitBox) {
  // 2 / 1e-40 overflows a float.
  Model_sgl model;
  ASSERT_TRUE(load(model, sgl(2, GL_V3F, GL_TRIANGLES, {0, 0, 0, 1e-40f, 0, 0})));
  model.unitize();
  const float* v = reinterpret_cast<const float*>(model.vertexData);
  EXPECT_FLOAT_EQ(v[0], -1.0f);
  EXPECT_FLOAT_EQ(v[3], 1.0f);
}

TEST(ModelSgl, ScaleAndTranslateMovePositionsOnly) {
  std::vector<float> floats = vertices(GL_T2F_N3F_V3F, {{1, 2, 3}, {-1, -2, -3}});
  Model_sgl model;
  ASSERT_TRUE(load(model, sgl(2, GL_T2F_N3F_V3F, GL_TRIANGLES, floats)));
  model.scale(2.0f);
  model.translate(10, 20, 30);
  const float* v = reinterpret_cast<const float*>(model.vertexData);
  const float expected[2][3] = {{12, 24, 36}, {8, 16, 24}};
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 5; ++k) EXPECT_EQ(v[i * 8 + k], floats[i * 8 + k]);
    for (int a = 0; a < 3; ++a) EXPECT_EQ(v[i * 8 + 5 + a], expected[i][a]);
  }
}

class ModelSglFiles : public DataIndexTest {
 protected:
  void add(const char* name, const Bytes& bytes) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = name;
    entry->data = bytes;
    dataIndex.push_back(std::move(entry));
  }
};

TEST_F(ModelSglFiles, LoadsThroughTheFileAccessLayer) {
  add("data/effects/skydome/sky.sgl", sgl(3, GL_N3F_V3F, GL_TRIANGLES,
                                          vertices(GL_N3F_V3F, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})));
  add("data/short.sgl", sgl(3, GL_N3F_V3F, GL_TRIANGLES, std::vector<float>(17)));
  Model_sgl model;
  EXPECT_TRUE(model.load("data/effects/skydome/sky.sgl"));
  EXPECT_EQ(model.vertexCount, 3);
  // A broken file is bad data: fatal, with the reader's reason.
  EXPECT_EXIT(model.load("data/short.sgl"), ::testing::ExitedWithCode(1),
              "\n\nBroken model data/short\\.sgl: [^\n]+\n$");
}

TEST_F(ModelSglFiles, AFileThatCannotBeOpenedIsFatal) {
  Model_sgl model;
  EXPECT_EXIT(model.load("data/effects/skydome/missing.sgl"), ::testing::ExitedWithCode(1),
              "Error in file src/util/objects3d/model_sgl\\.cpp:[0-9]+\n\n"
              "Failed to load file data/effects/skydome/missing\\.sgl\n");
}

// The generator's writer and this reader agree on the layout.
TEST(ModelSglWriter, TheGeneratorsFileLoadsAsWritten) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  char dir[] = "/tmp/sgl-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/selftest.sgl";
  const std::string command =
      "/usr/bin/python3 tools/assets/sgl.py --selftest " + path + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  dataMode = kDataPlain;
  Model_sgl model;
  EXPECT_TRUE(model.load(path.c_str()));
  unlink(path.c_str());
  rmdir(dir);
  EXPECT_EQ(model.format, static_cast<GLenum>(GL_T2F_N3F_V3F));
  EXPECT_EQ(model.mode, static_cast<GLenum>(GL_TRIANGLES));
  ASSERT_EQ(model.vertexCount, 6);
  // Corner 2: texcoord (0.5, 0.75), normal (0, -0.25, 1), position (5, 10, 1).
  const float* v = reinterpret_cast<const float*>(model.vertexData) + 2 * 8;
  const float corner[8] = {0.5f, 0.75f, 0, -0.25f, 1, 5, 10, 1};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(v[k], corner[k]) << "float " << k;
  float x, y, z;
  model.getSize(x, y, z);
  EXPECT_FLOAT_EQ(x, 8.0f);
  EXPECT_FLOAT_EQ(y, 12.0f);
  EXPECT_FLOAT_EQ(z, 1.0f);
}

}  // namespace
