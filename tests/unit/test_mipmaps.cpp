// Mipmap levels built from the pictures' own pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "util/texture/mipmaps.h"
#include "util/texture/texture.h"

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

// A picture of odd sizes with texels that differ everywhere.
Bytes oddPicture(int width, int height, int components) {
  Bytes pixels(static_cast<size_t>(width) * height * components);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + i / 5);
  return pixels;
}

// Levels 1 to 1 x 1, halved one after another.
Bytes halvedChain(Bytes level, int width, int height, int components) {
  Bytes chain;
  while (width > 1 || height > 1) {
    level = halved(level, width, height, components);
    chain.insert(chain.end(), level.begin(), level.end());
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
  }
  return chain;
}

TEST(Mipmaps, AChainMadeAheadHoldsEveryLevelInTurn) {
  for (int components : {1, 3, 4}) {
    // 13 x 3 goes 6 x 1, 3 x 1, 1 x 1; 1 x 6 goes 1 x 3, 1 x 1.
    for (auto size : {std::pair<int, int>{13, 3}, {1, 6}, {37, 20}}) {
      const Bytes level0 = oddPicture(size.first, size.second, components);
      const Bytes expected = halvedChain(level0, size.first, size.second, components);
      ASSERT_EQ(mipmapChainBytes(size.first, size.second, components), expected.size());
      // On the heap, exactly as long, where the sanitizer sees a byte too far.
      std::unique_ptr<uint8_t[]> chain(new uint8_t[expected.size()]);
      makeMipmapChain(level0.data(), size.first, size.second, components, chain.get());
      EXPECT_EQ(Bytes(chain.get(), chain.get() + expected.size()), expected)
          << size.first << " x " << size.second << " x " << components;
    }
  }
  EXPECT_EQ(mipmapChainBytes(1, 1, 4), 0u);
}

TEST(Mipmaps, ADecodedPictureGetsItsChainAfterItsPixels) {
  const Bytes level0 = oddPicture(13, 11, 3);
  Texture picture;
  picture.width = 13;
  picture.height = 11;
  picture.bpp = 24;
  picture.format = GL_RGB;
  picture.imageData = static_cast<uint8_t*>(std::malloc(level0.size()));
  std::memcpy(picture.imageData, level0.data(), level0.size());
  ASSERT_TRUE(appendMipmapChain(picture));
  EXPECT_TRUE(picture.chainFollows);
  const Bytes expected = halvedChain(level0, 13, 11, 3);
  EXPECT_EQ(Bytes(picture.imageData, picture.imageData + level0.size()), level0);
  EXPECT_EQ(Bytes(picture.imageData + level0.size(), picture.imageData + level0.size() + expected.size()),
            expected);
  EXPECT_FALSE(appendMipmapChain(picture)) << "one chain is enough";

  // Pixels whose size the format does not say are left alone.
  Texture odd;
  odd.width = odd.height = 2;
  odd.bpp = 32;
  odd.format = GL_RGB;
  uint8_t pixels[16] = {};
  odd.imageData = pixels;
  EXPECT_FALSE(appendMipmapChain(odd));
  EXPECT_FALSE(odd.chainFollows);
  EXPECT_EQ(odd.imageData, pixels);
  odd.imageData = nullptr;
  std::free(picture.imageData);
  picture.imageData = nullptr;
}

TEST(Mipmaps, EveryTexelIsItsBlocksMeanWhateverTheTexelSize) {
  for (int n = 3; n <= 5; ++n) {
    for (auto size : {std::pair<int, int>{7, 1}, {5, 3}, {33, 17}}) {
      const int w = size.first, h = size.second, halfWidth = std::max(1, w / 2);
      const Bytes p = oddPicture(w, h, n), half = halved(p, w, h, n);
      auto at = [&](int x, int y, int c) { return p[(static_cast<size_t>(std::min(y, h - 1)) * w + x) * n + c]; };
      for (size_t i = 0; i < half.size(); ++i) {
        const int c = static_cast<int>(i % n), x = static_cast<int>(i / n % halfWidth) * 2, y = static_cast<int>(i / n / halfWidth) * 2;
        ASSERT_EQ(half[i], (at(x, y, c) + at(x + 1, y, c) + at(x, y + 1, c) + at(x + 1, y + 1, c) + 2) / 4)
            << w << " x " << h << " x " << n << ", byte " << i;
      }
    }
  }
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
