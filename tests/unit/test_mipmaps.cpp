// Mipmap levels built from the pictures' own pixels.
#include <gtest/gtest.h>

#include <vector>

#include "util/texture/mipmaps.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes halved(const Bytes& pixels, int width, int height, int components) {
  Bytes half(static_cast<size_t>(std::max(1, width / 2)) * std::max(1, height / 2) * components);
  halveImage(pixels.data(), width, height, components, half.data());
  return half;
}

TEST(Mipmaps, EachTexelIsTheRoundedMeanOfItsBlock) {
  // 4 x 2 grey: blocks (1, 2, 2, 2) and (0, 0, 255, 255).
  EXPECT_EQ(halved({1, 2, 0, 255, 2, 2, 0, 255}, 4, 2, 1), Bytes({2, 128}));
  // Two components stay apart.
  EXPECT_EQ(halved({10, 0, 20, 100, 30, 0, 40, 100}, 2, 2, 2), Bytes({25, 50}));
}

TEST(Mipmaps, OddSizesRoundDownAndLinesStayLines) {
  // 3 x 3: the level is 1 x 1, the lower left block's mean; the last row and
  // column fall away.
  EXPECT_EQ(halved({0, 4, 99, 8, 12, 99, 99, 99, 99}, 3, 3, 1), Bytes({6}));
  // One texel wide: pairs down the column; one high: pairs along the row.
  EXPECT_EQ(halved({0, 10, 20, 30}, 1, 4, 1), Bytes({5, 25}));
  EXPECT_EQ(halved({0, 10, 20, 30}, 4, 1, 1), Bytes({5, 25}));
  EXPECT_EQ(halved({7, 8, 9}, 1, 1, 3), Bytes({7, 8, 9}));
}

TEST(Mipmaps, ComponentsOfTheUploadFormats) {
  EXPECT_EQ(componentsOf(GL_RGB), 3);
  EXPECT_EQ(componentsOf(GL_RGBA), 4);
  EXPECT_EQ(componentsOf(GL_LUMINANCE_ALPHA), 2);
  EXPECT_EQ(componentsOf(GL_DEPTH_COMPONENT), 0);
}

}  // namespace
