// Mipmap levels built from the pictures' own pixels.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(Mipmaps, AChainFollowsEachWriteAsIfItWereBuiltAfresh) {
  // Odd sizes on purpose: 37 x 20 drops a column on the way down.
  MipChain chain(37, 20, 2);
  EXPECT_EQ(chain.levels(), 6);  // 37x20 18x10 9x5 4x2 2x1 1x1
  Bytes block(5 * 3 * 2);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(40 + 7 * i);
  for (int x : {0, 3, 31, 35, -2}) {  // the last two are cut at the edges
    chain.write(x, x % 17, 5, 3, block.data());
    // The block's texels where they belong, cut rows keeping their stride.
    const int cx = std::max(x, 0), cy = std::max(x % 17, 0);
    EXPECT_EQ(chain.pixels(0)[(cy * 37 + cx) * 2], block[((cy - x % 17) * 5 + (cx - x)) * 2]);
    if (x == 35) {
      EXPECT_EQ(chain.pixels(0)[((cy + 1) * 37 + 35) * 2], block[5 * 2]);
    }
    Bytes level(chain.pixels(0), chain.pixels(0) + 37 * 20 * 2);
    for (int l = 1; l < chain.levels(); ++l) {
      level = halved(level, chain.width(l - 1), chain.height(l - 1), 2);
      ASSERT_EQ(Bytes(chain.pixels(l), chain.pixels(l) + level.size()), level) << "level " << l;
    }
  }
}

}  // namespace
