// Texture: loading by extension, upload and GL state, fill and read-back,
// empty and resized textures, every fatal path, and drawing read back from
// the window. Images are served from the data index.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/prefetch.h"
#include "util/texture/texture.h"

namespace {

using ::testing::ExitedWithCode;
using Bytes = std::vector<uint8_t>;

// An uncompressed TGA from RGB(A) pixels, bottom row first.
Bytes tga(uint16_t width, uint16_t height, int bytesPerPixel, const Bytes& rgba) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
               uint8_t(height), uint8_t(height >> 8), uint8_t(bytesPerPixel * 8), 0};
  for (size_t i = 0; i < rgba.size(); i += bytesPerPixel) {
    out.insert(out.end(), {rgba[i + 2], rgba[i + 1], rgba[i]});
    if (bytesPerPixel == 4) out.push_back(rgba[i + 3]);
  }
  return out;
}

// A 24-bit bottom-up BMP of one colour.
Bytes bmp(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  uint32_t row = (width * 3 + 3) & ~3u;
  Bytes out(54 + row * height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  out[26] = 1;
  out[28] = 24;
  put32(34, row * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = &out[54 + y * row + x * 3];
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  return out;
}

// A JPEG of one colour, written by libjpeg itself.
Bytes jpeg(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row;
  for (uint32_t x = 0; x < width; ++x) row.insert(row.end(), {r, g, b});
  while (cinfo.next_scanline < height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

GLint texParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

GLint levelWidth(int level) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &value);
  return value;
}

Bytes levelPixels(const Texture& texture, int level, GLenum format, int components) {
  texture.bind();
  Bytes out(size_t(levelWidth(level)) * size_t(std::max(1u, texture.height >> level)) * components);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, out.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return out;
}

Bytes windowPixel(int x, int y) {
  Bytes rgba(4);
  glReadBuffer(GL_BACK);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

class Textures : public ::testing::Test {
 protected:
  void SetUp() override {
    // A forked child would share this process's GL driver threads and X
    // connection; a fresh process with its own window dies cleanly.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setMessageBoxesEnabled(false);
    dataMode = kDataReading;
    dataIndex.clear();
    while (glGetError() != GL_NO_ERROR) {
    }
  }
  void TearDown() override {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    dataIndex.clear();
    dataMode = kDataPlain;
  }
  static void add(const std::string& name, const Bytes& contents) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = name;
    entry->data = contents;
    dataIndex.push_back(std::move(entry));
  }
};

// Three pixels wide: a 9-byte row that OpenGL's default 4-byte alignment would misread.
const Bytes kRgb3x2 = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170, 180};
const Bytes kRgba2x2 = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 64, 255, 255, 255, 0};

TEST_F(Textures, LoadedImageIsUploadedTightlyPackedAndItsPixelsFreed) {
  add("data/img/LOGO.TGA", tga(3, 2, 3, kRgb3x2));
  Texture texture;
  ASSERT_TRUE(texture.load("data/img/LOGO.TGA", false, false, GL_NEAREST, GL_NEAREST));
  EXPECT_EQ(texture.imageData, nullptr);
  EXPECT_NE(texture.id, 0u);
  EXPECT_EQ(texture.internalFormat, 3);
  EXPECT_EQ(texture.get_width(), 3u);
  EXPECT_EQ(texture.get_height(), 2u);
  EXPECT_EQ(levelPixels(texture, 0, GL_RGB, 3), kRgb3x2);
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(levelWidth(1), 0) << "no mipmaps were asked for";
}

TEST_F(Textures, ThirtyTwoBitImageKeepsAlphaAndRepeatsByDefault) {
  add("data/img/a.tga", tga(2, 2, 4, kRgba2x2));
  Texture texture("data/img/a.tga");
  EXPECT_EQ(texture.internalFormat, 4);
  EXPECT_EQ(texture.wrap, static_cast<GLenum>(GL_REPEAT));
  uint8_t* pixels = texture.readPixels();
  EXPECT_EQ(Bytes(pixels, pixels + 16), kRgba2x2);
  std::free(pixels);
  EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
}

TEST_F(Textures, MipmapsOverrideTheFiltersWithTrilinearAnisotropic) {
  add("data/img/Wall.Bmp", bmp(8, 4, 200, 100, 50));
  Texture texture;
  texture.load("data/img/Wall.Bmp", true, false, GL_NEAREST, GL_NEAREST);
  texture.bind();
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  GLfloat maximum = 0, anisotropy = 0;
  glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
  EXPECT_GT(maximum, 1.0f);
  EXPECT_EQ(anisotropy, maximum);
  EXPECT_EQ(levelWidth(3), 1) << "a full mipmap chain";
  EXPECT_EQ(levelPixels(texture, 3, GL_RGB, 3), Bytes({200, 100, 50}));
}

// A software renderer's textures filter within the nearest level; the
// choice holds for the textures made after it and leaves the rest alone.
TEST_F(Textures, WithoutMipmapBlendingTexturesFilterWithinTheNearestLevel) {
  add("data/img/Wall.Bmp", bmp(8, 4, 200, 100, 50));
  Texture blended, nearest;
  blended.load("data/img/Wall.Bmp", true, false, GL_NEAREST, GL_NEAREST);
  setMipmapBlending(false);
  nearest.load("data/img/Wall.Bmp", true, false, GL_NEAREST, GL_NEAREST);
  Texture plain;
  plain.createEmpty(4, 4, GL_RGBA8, false);
  setMipmapBlending(true);
  nearest.bind();
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  blended.bind();
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  plain.bind();
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR) << "no chain: its own filter";
}

TEST_F(Textures, ALoadedPicturesChainHoldsTheMeansOfItsBlocksOnEveryDriver) {
  // 4 x 2 RGBA, rows from the bottom: level 1 is the two 2 x 2 blocks' means
  // (rounded), level 2 their mean. The same chain whatever the vendor string.
  const Bytes pixels = {0,   0,   0,   255, 100, 0,   0,   255, 8,  8,  8,  0,   0,   0,   0,  0,
                        200, 0,   0,   255, 101, 0,   0,   255, 12, 12, 12, 0,   0,   0,   1,  3};
  add("data/img/blocks.tga", tga(4, 2, 4, pixels));
  Texture texture;
  texture.load("data/img/blocks.tga", true, false, GL_LINEAR, GL_LINEAR);
  EXPECT_EQ(levelPixels(texture, 1, GL_RGBA, 4), Bytes({100, 0, 0, 255, 5, 5, 5, 1}));
  EXPECT_EQ(levelPixels(texture, 2, GL_RGBA, 4), Bytes({53, 3, 3, 128}));
}

TEST_F(Textures, APictureDecodedAheadUploadsTheSameChainAsOneDecodedHere) {
  // 13 x 11: odd rows and columns fall away on the way down.
  std::FILE* file = std::fopen("tests/fixtures/png/rgba8.png", "rb");
  ASSERT_NE(file, nullptr);
  add("data/img/ahead.png", readAndClose(file));
  Texture here;
  here.load("data/img/ahead.png", true, false, GL_LINEAR, GL_LINEAR);
  startPrefetch({"data/img/ahead.png"});
  waitForPrefetch();
  // Another picture of the same size now: only the one decoded ahead has these texels.
  file = std::fopen("tests/fixtures/png/ga8.png", "rb");
  ASSERT_NE(file, nullptr);
  dataIndex.back()->data = readAndClose(file);
  Texture ahead;
  ahead.load("data/img/ahead.png", true, false, GL_LINEAR, GL_LINEAR);
  stopPrefetch();
  EXPECT_FALSE(ahead.chainFollows);
  EXPECT_EQ(ahead.imageData, nullptr);
  ASSERT_EQ(ahead.get_width(), 13u);
  for (int level = 0; level <= 3; ++level) {
    EXPECT_EQ(levelPixels(ahead, level, GL_RGBA, 4), levelPixels(here, level, GL_RGBA, 4)) << "level " << level;
  }
}

TEST_F(Textures, ChosenAnisotropyReplacesTheMaximumUpToIt) {
  add("data/img/floor.bmp", bmp(8, 8, 10, 20, 30));
  GLfloat maximum = 0;
  glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
  for (float chosen : {1.0f, 4.0f, 1000.0f}) {
    setTextureAnisotropy(chosen);
    Texture texture("data/img/floor.bmp", true, true);
    texture.bind();
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(anisotropy, chosen < maximum ? chosen : maximum) << chosen;
  }
  setTextureAnisotropy(0.0f);
}

TEST_F(Textures, JpegNamesInAnyCaseLoadAsJpeg) {
  for (const char* name : {"data/img/photo.jpeg", "data/img/photo.JPG", "data/img/PHOTO.JPEG"}) {
    add(name, jpeg(16, 8, 40, 160, 220));
    Texture texture(name, false, false);
    EXPECT_EQ(texture.internalFormat, 4) << name;
    EXPECT_EQ(texture.aspect(), 2.0f);
    uint8_t* pixels = texture.readPixels();
    const int want[4] = {40, 160, 220, 255};
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(pixels[(5 * 16 + 7) * 4 + c], want[c], 3) << name;
    std::free(pixels);
  }
}

TEST_F(Textures, UnsupportedExtensionIsFatalAfterItsBox) {
  add("data/model.gif", tga(2, 2, 4, kRgba2x2));
  Texture texture;
  EXPECT_EXIT(texture.load("data/model.gif", false, false, GL_LINEAR, GL_LINEAR),
              ExitedWithCode(1),
              "^Unsupported image format!: Sorry, image format \\.gif is not yet supported\\.\n"
              "Try \\.tga or \\.png\\.\n"
              "Error in file src/util/texture/texture\\.cpp:[0-9]+\n\n"
              "Failed to load image data/model\\.gif!\n$");
}

TEST_F(Textures, LoaderFailureIsFatalAfterTheLoadersMessage) {
  Bytes sixteenBit = tga(2, 2, 3, kRgb3x2);
  sixteenBit[16] = 16;
  add("data/bad.tga", sixteenBit);
  add("data/text.jpg", tga(2, 2, 4, kRgba2x2));
  Texture texture;
  EXPECT_EXIT(texture.load("data/bad.tga", false, false, GL_LINEAR, GL_LINEAR), ExitedWithCode(1),
              "Invalid texture information\n.*Failed to load image data/bad\\.tga!");
  EXPECT_EXIT(texture.load("data/text.jpg", false, false, GL_LINEAR, GL_LINEAR), ExitedWithCode(1),
              "Not a JPEG file.*Failed to load image data/text\\.jpg!");
  EXPECT_EXIT(texture.load("data/missing.png", false, false, GL_LINEAR, GL_LINEAR),
              ExitedWithCode(1), "Failed to load image data/missing\\.png!");
}

TEST_F(Textures, FillTruncatesComponentsToBytes) {
  Texture texture;
  texture.createEmpty(4, 2, GL_RGBA8, false);
  EXPECT_EQ(texture.imageData, nullptr);
  texture.fill(1.0f, 0.5f, 0.0f, 1.0f);
  uint8_t* pixels = texture.readPixels();
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(Bytes(pixels + i * 4, pixels + i * 4 + 4), Bytes({255, 127, 0, 255})) << i;
  std::free(pixels);
}

TEST_F(Textures, EmptyMipmappedTextureFilledWithZeroIsBlackAllTheWayDown) {
  Texture texture;
  texture.createEmpty(1024, 1024, GL_RGBA8, true);
  texture.fill(0, 0, 0, 0);
  uint8_t* pixels = texture.readPixels();
  Bytes level0(pixels, pixels + 1024 * 1024 * 4);
  std::free(pixels);
  EXPECT_EQ(level0, Bytes(level0.size(), 0));
  EXPECT_EQ(levelWidth(10), 1);
  EXPECT_EQ(levelPixels(texture, 10, GL_RGBA, 4), Bytes(4, 0));
  EXPECT_EQ(levelPixels(texture, 5, GL_RGBA, 4), Bytes(32 * 32 * 4, 0));
}

TEST_F(Textures, RenderTargetFormatsAndMultisampleCreateCleanly) {
  for (GLint format : {GL_RGBA16F, GL_RGB32F, GL_RGBA32F, GL_RGB16F, GL_DEPTH_COMPONENT24}) {
    Texture texture;
    texture.createEmpty(16, 8, format, false);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << format;
    EXPECT_EQ(levelWidth(0), 16);
  }
  Texture depth;
  depth.createEmpty(4, 4, GL_DEPTH_COMPONENT32F, false);
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(texParameter(GL_TEXTURE_COMPARE_MODE), GL_NONE);

  Texture multisample;
  multisample.width = 64;
  multisample.height = 32;
  multisample.format = GL_RGBA;
  multisample.internalFormat = GL_RGBA8;
  multisample.samples = 4;
  multisample.create();
  EXPECT_EQ(multisample.target(), static_cast<GLenum>(GL_TEXTURE_2D_MULTISAMPLE));
  GLint samples = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_SAMPLES, &samples);
  EXPECT_EQ(samples, 4);
}

TEST_F(Textures, LoadedTextureCanBeResized) {
  add("data/a.tga", tga(2, 2, 4, kRgba2x2));
  Texture texture("data/a.tga");
  texture.resize(32, 16);
  EXPECT_NE(texture.id, 0u);
  EXPECT_EQ(texture.get_width(), 32u);
  texture.bind();
  EXPECT_EQ(levelWidth(0), 32);
  EXPECT_EQ(texture.aspect(), 2.0f);
}

TEST_F(Textures, MisuseIsFatal) {
  Texture never;
  EXPECT_EXIT(never.resize(4, 4), ExitedWithCode(1),
              "Attempted to resize a texture that is not initialized!");
  EXPECT_EXIT(never.aspect(), ExitedWithCode(1), "Invalid texture!");

  Texture created;
  created.createEmpty(2, 2, GL_RGBA8, false);
  EXPECT_EXIT(created.create(), ExitedWithCode(1),
              "Attempt to create an already initialized texture!");
  created.imageData = static_cast<uint8_t*>(std::malloc(16));
  EXPECT_EXIT(created.resize(4, 4), ExitedWithCode(1),
              "Attempted to resize a texture with current imageData");
  std::free(created.imageData);
  created.imageData = nullptr;

  Texture odd;
  EXPECT_EXIT(odd.createEmpty(2, 2, GL_RGB8, false), ExitedWithCode(1),
              "Unrecognized texture format 32849!");

  add("data/rgb.tga", tga(3, 2, 3, kRgb3x2));
  Texture rgb("data/rgb.tga");
  EXPECT_EXIT(rgb.readPixels(), ExitedWithCode(1), "Failed assert 4 == bytespp");
  EXPECT_EXIT(rgb.fill(0, 0, 0, 0), ExitedWithCode(1), "Failed assert 32 == bpp");
}

TEST_F(Textures, DrawTexturePutsEachTexelWhereItBelongs) {
  // 2x2 texture, bottom row first: red, green / blue, white.
  const Bytes opaque = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  add("data/quad.tga", tga(2, 2, 4, opaque));
  Texture texture;
  texture.load("data/quad.tga", false, false, GL_NEAREST, GL_NEAREST);

  glViewport(0, 0, 640, 360);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_MODELVIEW);  // the attribute pop gives back the mode the call found
  drawTexture(texture, 0.25f, 0.5f, 0.5f, 0.25f);  // pixels x 160..480, y 180..270

  EXPECT_EQ(windowPixel(200, 200), Bytes({255, 0, 0, 255}));
  EXPECT_EQ(windowPixel(440, 200), Bytes({0, 255, 0, 255}));
  EXPECT_EQ(windowPixel(200, 250), Bytes({0, 0, 255, 255}));
  EXPECT_EQ(windowPixel(440, 250), Bytes({255, 255, 255, 255}));
  for (auto [x, y] : {std::pair{150, 200}, {490, 250}, {300, 170}, {300, 280}})
    EXPECT_EQ(windowPixel(x, y), Bytes({0, 0, 0, 0})) << x << "," << y;

  // Left behind on purpose: texturing on, depth test off, modelview selected.
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  GLint depth = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);

  // The upper right quarter of the texture over the whole window: white.
  drawTextureWindow(texture, 0.5f, 0.5f, 0.5f, 0.5f);
  EXPECT_EQ(windowPixel(5, 5), Bytes({255, 255, 255, 255}));
  EXPECT_EQ(windowPixel(635, 355), Bytes({255, 255, 255, 255}));
  glDisable(GL_TEXTURE_2D);
}

}  // namespace
