// The sky cube map: six JPEG faces become one cube-map texture, each face in
// its place and with the file's first row first.
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>  // the implementation is in libstb

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/texture/texturecube.h"

namespace {

// A JPEG of one colour, with its top quarter white so rows can be told apart.
std::vector<uint8_t> face(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      bool top = y < height / 4;
      p[0] = top ? 255 : r;
      p[1] = top ? 255 : g;
      p[2] = top ? 255 : b;
    }
  std::vector<uint8_t> jpeg;
  stbi_write_jpg_to_func(
      [](void* out, void* data, int size) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(out);
        bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &jpeg, width, height, 3, rgb.data(), 95);
  return jpeg;
}

const uint8_t kColours[6][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200},
                                {200, 200, 0}, {0, 200, 200}, {200, 0, 200}};

void addFaces(int oddFace = -1, int oddWidth = 64, int oddHeight = 64) {
  setMessageBoxesEnabled(false);
  dataMode = kDataReading;
  dataIndex.clear();
  for (int i = 0; i < 6; ++i) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = TextureCube::kFaceFiles[i];
    entry->data = i == oddFace ? face(oddWidth, oddHeight, 9, 9, 9)
                               : face(64, 64, kColours[i][0], kColours[i][1], kColours[i][2]);
    dataIndex.push_back(std::move(entry));
  }
}

TEST(TextureCube, FacesGoToTheirTargetsWithTheFirstFileRowFirst) {
  addFaces();
  TextureCube sky;
  ASSERT_TRUE(sky.load());
  EXPECT_NE(sky.cube.id, 0u);
  EXPECT_EQ(sky.data_posz, nullptr);  // the CPU copies are gone
  glBindTexture(GL_TEXTURE_CUBE_MAP, sky.cube.id);
  const GLenum targets[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_CUBE_MAP_POSITIVE_Z};
  std::vector<uint8_t> pixels(64 * 64 * 4);
  for (int i = 0; i < 6; ++i) {
    glGetTexImage(targets[i], 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const uint8_t* first = &pixels[(64 * 2 + 32) * 4];  // row 2 of the data: the file's white top
    const uint8_t* last = &pixels[(64 * 60 + 32) * 4];
    EXPECT_GT(first[0], 240) << "face " << i;
    EXPECT_GT(first[2], 240) << "face " << i;
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(last[c], kColours[i][c], 12) << "face " << i;
  }
  // The whole mipmap chain, whatever the driver: its 1 x 1 level is the
  // face's mean (a quarter white, the rest the face's colour).
  for (int i = 0; i < 6; ++i) {
    GLint width = 0;
    glGetTexLevelParameteriv(targets[i], 6, GL_TEXTURE_WIDTH, &width);
    ASSERT_EQ(width, 1) << "face " << i;
    uint8_t texel[4] = {};
    glGetTexImage(targets[i], 6, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(texel[c], 64 + 0.75 * kColours[i][c], 8) << "face " << i;
  }
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
  GLint wrapR = 0;
  glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, &wrapR);
  EXPECT_EQ(wrapR, GL_CLAMP_TO_EDGE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  dataIndex.clear();
  dataMode = kDataPlain;
}

TEST(TextureCubeDeathTest, FacesOfAnotherSizeAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT((addFaces(3, 32, 32), TextureCube().load()), ::testing::ExitedWithCode(1),
              "Failed assert width == tex_array\\[i\\].get_width\\(\\)");
  EXPECT_EXIT((addFaces(2, 64, 32), TextureCube().load()), ::testing::ExitedWithCode(1),
              "Failed assert height == tex_array\\[i\\].get_height\\(\\)");
}

}  // namespace
