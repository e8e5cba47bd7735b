// Text on screen: lines keep their size relative to the picture width, the
// shadowed variant, and the ASCII engine's chart and palette.
#include <GL/glew.h>
#include <FTGL/ftgl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "scenes/scene_kit.h"
#include "util/ascii/asciiengine.h"
#include "util/atlas_font.h"
#include "util/data/data.h"
#include "util/util.h"

namespace {

const char* const kSansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string sansBytes() {
  std::ifstream in(kSansPath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A font loaded from the archive, as the scenes load theirs.
AtlasFont* sans() {
  static AtlasFont* font = [] {
    const std::string ttf = sansBytes();
    dataMode = kDataReading;
    auto entry = std::make_unique<DataEntry>();
    entry->name = "data/common/fonts/sans.ttf";
    entry->data.assign(ttf.begin(), ttf.end());
    dataIndex.push_back(std::move(entry));
    AtlasFont* loaded = loadFont("data/common/fonts/sans.ttf", 24).release();  // kept for every test
    dataIndex.clear();
    dataMode = kDataPlain;
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

// The font keeps the file it was made from (and frees it with itself):
// FreeType reads it again for every new size, long after the caller's copy
// has gone.
TEST(Text, AtlasFontKeepsItsFileForANewSize) {
  std::unique_ptr<AtlasFont> font;
  {
    std::string ttf = sansBytes();
    ASSERT_FALSE(ttf.empty());
    font = std::make_unique<AtlasFont>(std::vector<unsigned char>(ttf.begin(), ttf.end()), 24);
    std::fill(ttf.begin(), ttf.end(), '\0');
  }
  ASSERT_EQ(font->Error(), 0);
  pixelView();
  glTranslatef(10, 100, 0);
  glColor4f(1, 1, 1, 1);
  drawText(font.get(), 1280, "Lantern");
  const Ink small = inkOf();
  const float smallAdvance = font->Advance("Lantern");

  ASSERT_TRUE(font->FaceSize(48));
  EXPECT_EQ(font->unplaced(), 0);
  pixelView();
  glTranslatef(10, 100, 0);
  drawText(font.get(), 1280, "Lantern");
  const Ink large = inkOf();
  ASSERT_GT(small.right, small.left);
  EXPECT_NEAR(font->Advance("Lantern") / smallAdvance, 2.0f, 0.05f);
  EXPECT_NEAR(static_cast<float>(large.right - large.left) / (small.right - small.left), 2.0f, 0.15f);
  glDisable(GL_BLEND);
}

// The ink of a line as a grey picture: the sum of each pixel's brightness
// over the black background, and its bounding box.
struct LineInk {
  long total = 0;
  int left = 10000, right = -1, bottom = 10000, top = -1;
};

LineInk lineInk() {
  std::vector<unsigned char> grey(640 * 360);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 640, 360, GL_RED, GL_UNSIGNED_BYTE, grey.data());
  LineInk ink;
  for (int y = 0; y < 360; ++y)
    for (int x = 0; x < 640; ++x) {
      const int v = grey[y * 640 + x];
      ink.total += v;
      if (v > 40) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.bottom = std::min(ink.bottom, y);
        ink.top = std::max(ink.top, y);
      }
    }
  return ink;
}

LineInk drawnLine(FTFont* font, const char* text) {
  pixelView();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glTranslatef(20, 150, 0);
  glColor4f(1, 1, 1, 1);
  drawText(font, 1280, "%s", text);  // at the font's own size
  glDisable(GL_BLEND);
  return lineInk();
}

TEST(Text, AtlasGlyphsLookLikeFtglsBufferFont) {
  // The atlas font against FTGL's own buffer font over the same outlines:
  // each glyph lands where the layout puts it, whole and with its coverage.
  const std::string ttf = sansBytes();
  FTBufferFont reference(reinterpret_cast<const unsigned char*>(ttf.data()), ttf.size());
  reference.GlyphLoadFlags(FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
  reference.FaceSize(24);
  reference.CharMap(ft_encoding_unicode);
  for (const char* text : {"Tin Lantern 1999", "{Wild} @ #42 & qjy|", "AVATAR Wo ~^_`"}) {
    const LineInk atlas = drawnLine(sans(), text);
    const LineInk buffer = drawnLine(&reference, text);
    ASSERT_GT(buffer.right, buffer.left) << text;
    // Both place glyphs on whole pixels, each its own way: over a line of
    // kerned pairs that may add up to two.
    EXPECT_NEAR(atlas.left, buffer.left, 1) << text;
    EXPECT_NEAR(atlas.right, buffer.right, 2) << text;
    EXPECT_NEAR(atlas.bottom, buffer.bottom, 1) << text;
    EXPECT_NEAR(atlas.top, buffer.top, 1) << text;
    EXPECT_NEAR(static_cast<double>(atlas.total) / buffer.total, 1.0, 0.03) << text;
  }
  EXPECT_FLOAT_EQ(sans()->Advance("Tin Lantern"), reference.Advance("Tin Lantern"));
}

TEST(Text, AtlasFontsKeepFtglsStateRulesAndDrawOtherCharactersAsNothing) {
  pixelView();
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  drawText(sans(), 1280, "state");
  EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "blending is the call's own";
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  // A character outside the atlas takes its room in the line but no ink.
  const LineInk plain = drawnLine(sans(), "a  b");
  const LineInk other = drawnLine(sans(), "a \xc3\xa6 b");  // U+00E6 between the spaces
  EXPECT_GT(other.right, plain.right);
  EXPECT_NEAR(static_cast<double>(other.total) / plain.total, 1.0, 0.02);
}

// The show's fonts under the names and at the sizes its scenes use them.
TEST(ShowFonts, EveryFontTheScenesOpenHoldsAllItsGlyphs) {
  setMessageBoxesEnabled(false);
  dataMode = kDataPlain;  // the generated tree of the repository
  struct Use {
    const char* name;
    unsigned size;
  };
  for (const Use use : {Use{"MOVIPB__.ttf", 228}, Use{"MOVIPB__.ttf", 110}, Use{"MOVIPB__.ttf", 100},
                        Use{"MOVIPB__.ttf", 60}, Use{"courier_new.ttf", 32}, Use{"times.ttf", 24}}) {
    std::unique_ptr<AtlasFont> font = loadFont((std::string("data/common/fonts/") + use.name).c_str(), use.size);
    SCOPED_TRACE(std::string(use.name) + " at " + std::to_string(use.size));
    EXPECT_EQ(font->Error(), 0);
    EXPECT_EQ(font->unplaced(), 0);
    EXPECT_GT(font->Advance("Tin Lantern"), 3.0f * use.size);
    EXPECT_LE(font->atlasWidth() * font->atlasHeight(), 4096 * 2048) << "a few MB at most";
  }
}

// The scenes share one font per file and size; a size of its own is a font
// of its own, and the library keeps them all.
TEST(ShowFonts, TheLibraryMakesEachFileAndSizeOnce) {
  dataMode = kDataPlain;
  FontLibrary fonts;
  AtlasFont* caption = fonts.get("data/common/fonts/MOVIPB__.ttf", 100);
  AtlasFont* again = fonts.get("data/common/fonts/MOVIPB__.ttf", 100);
  AtlasFont* title = fonts.get("data/common/fonts/MOVIPB__.ttf", 110);
  AtlasFont* serif = fonts.get("data/common/fonts/times.ttf", 100);
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(again, caption);
  EXPECT_NE(title, caption);
  EXPECT_NE(serif, caption);
  EXPECT_EQ(caption->FaceSize(), 100u);
  EXPECT_EQ(title->FaceSize(), 110u);
  EXPECT_GT(caption->Advance("Tin Lantern"), 0.0f) << "still there after the others were made";
}

TEST(ShowFonts, TheCodeScrollersFaceIsMonospaced) {
  dataMode = kDataPlain;
  std::unique_ptr<AtlasFont> mono = loadFont("data/common/fonts/courier_new.ttf", 32);
  EXPECT_FLOAT_EQ(mono->Advance("iiii"), mono->Advance("WWWW"));
  std::unique_ptr<AtlasFont> serif = loadFont("data/common/fonts/times.ttf", 32);
  EXPECT_LT(serif->Advance("iiii"), serif->Advance("WWWW"));
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
