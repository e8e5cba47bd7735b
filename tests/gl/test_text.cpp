// Text on screen: lines keep their size relative to the picture width, the
// shadowed variant, and the ASCII engine's chart and palette.
#include <GL/glew.h>
#include <FTGL/ftgl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/util.h"

namespace {

FTBufferFont* sans() {
  static FTBufferFont* font = [] {
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::string ttf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    dataMode = kDataReading;
    auto entry = std::make_unique<DataEntry>();
    entry->name = "data/common/fonts/sans.ttf";
    entry->data.assign(ttf.begin(), ttf.end());
    dataIndex.push_back(std::move(entry));
    FTBufferFont* loaded = loadFont("data/common/fonts/sans.ttf");
    dataIndex.clear();
    dataMode = kDataPlain;
    loaded->FaceSize(24);
    return loaded;
  }();
  return font;
}

// The window in pixels, origin lower left, blending as the scenes use it.
void pixelView() {
  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 640, 0, 360, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Columns holding a pixel brighter (or darker) than the grey background.
struct Ink {
  int left = 10000, right = -1;
  int brightest = 0, darkest = 255;
};

Ink inkOf() {
  std::vector<unsigned char> rgb(640 * 360 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 640, 360, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  Ink ink;
  for (int y = 0; y < 360; ++y)
    for (int x = 0; x < 640; ++x) {
      int v = rgb[(y * 640 + x) * 3];
      ink.brightest = std::max(ink.brightest, v);
      ink.darkest = std::min(ink.darkest, v);
      if (std::abs(v - 128) > 20) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
      }
    }
  return ink;
}

TEST(Text, KeepsItsSizeRelativeToThePictureWidth) {
  pixelView();
  glTranslatef(10, 100, 0);
  glColor4f(1, 1, 1, 1);
  drawText(sans(), 1280, "Lantern %d", 42);
  Ink own = inkOf();
  pixelView();
  glTranslatef(10, 100, 0);
  drawText(sans(), 1920, "Lantern %d", 42);
  Ink larger = inkOf();
  ASSERT_GT(own.right, own.left);
  EXPECT_NEAR(static_cast<float>(larger.right - larger.left) / (own.right - own.left), 1.5f, 0.08f);
  EXPECT_NEAR(own.left, larger.left, 2) << "drawn at the modelview's origin (the bearing scales too)";

  // The matrix is left as it was, and a null format draws nothing.
  GLfloat modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  EXPECT_FLOAT_EQ(modelview[12], 10.0f);
  pixelView();
  drawText(sans(), 1280, nullptr);
  EXPECT_EQ(inkOf().right, -1);
}

TEST(Text, ShadowedLinesDrawBothHalfTransparent) {
  pixelView();
  glTranslatef(10, 100, 0);
  drawTextShadowed(sans(), 1280, 2.0f, 0.5f, "%s", "Wild");
  Ink ink = inkOf();
  EXPECT_LT(ink.darkest, 100) << "the shadow";
  EXPECT_GT(ink.brightest, 160) << "the text";
  EXPECT_LT(ink.brightest, 230) << "half transparent over grey";
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 1.0f);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);

  // A line longer than the buffer is cut, not overflowed.
  std::string endless(1000, 'x');
  pixelView();
  drawText(sans(), 64, "%s", endless.c_str());
  EXPECT_GT(inkOf().right, 0);
  glDisable(GL_BLEND);
}

TEST(AsciiEngine, LoadsItsChartWithNearestFilteringAndThePalette) {
  dataMode = kDataPlain;  // the generated chart in the repository's tree
  AsciiEngine ascii;
  EXPECT_EQ(ascii.chart.get_width(), 512u);
  glBindTexture(GL_TEXTURE_2D, ascii.chart.id);
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
  EXPECT_EQ(filter, GL_NEAREST);
  EXPECT_FLOAT_EQ(ascii.palette[7][0], 0.75f);
  EXPECT_FLOAT_EQ(ascii.palette[9][2], 1.0f);
  EXPECT_FLOAT_EQ(ascii.palette[15][3], 1.0f);
  EXPECT_EQ(ascii.screenWidth, 1);
  EXPECT_EQ(ascii.cells[11999], 0);
}

}  // namespace
