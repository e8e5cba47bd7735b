// The show's fonts, under the names its scenes open, load through the file
// access layer and have the faces they stand for.
#include <FTGL/ftgl.h>
#include <gtest/gtest.h>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/util.h"

namespace {

FTBufferFont* showFont(const char* name) {
  setMessageBoxesEnabled(false);
  dataMode = kDataPlain;  // the generated tree of the repository
  FTBufferFont* font = loadFont((std::string("data/common/fonts/") + name).c_str());
  font->FaceSize(32);
  font->CharMap(ft_encoding_unicode);
  return font;
}

TEST(ShowFonts, EveryNameTheScenesOpenLoads) {
  for (const char* name : {"MOVIPB__.ttf", "courier_new.ttf", "times.ttf"}) {
    FTBufferFont* font = showFont(name);
    EXPECT_EQ(font->Error(), 0) << name;
    EXPECT_GT(font->Advance("Tin Lantern"), 100.0f) << name;
    delete font;
  }
}

TEST(ShowFonts, TheCodeScrollersFaceIsMonospaced) {
  FTBufferFont* mono = showFont("courier_new.ttf");
  EXPECT_FLOAT_EQ(mono->Advance("iiii"), mono->Advance("WWWW"));
  FTBufferFont* serif = showFont("times.ttf");
  EXPECT_LT(serif->Advance("iiii"), serif->Advance("WWWW"));
  delete mono;
  delete serif;
}

}  // namespace
