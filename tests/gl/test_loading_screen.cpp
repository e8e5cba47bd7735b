// The loading screen's bar, read back from the window.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdlib>

#include "util/data/data.h"
#include "util/data/loadingscreen.h"

namespace {

float grey(int x, int y) {
  GLubyte rgba[4];
  glReadBuffer(GL_BACK);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return rgba[0] / 255.0f;
}

TEST(LoadingScreen, HalfTheArchiveOpenedShowsAFullBrightHalfBar) {
  dataMode = kDataReading;
  dataIndex.clear();
  for (int i = 0; i < 4; ++i) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = "data/" + std::to_string(i);
    entry->used = i < 2;
    dataIndex.push_back(std::move(entry));
  }
  startLoadingScreen();
  drawLoadingScreen();
  ASSERT_EQ(loadingProgress().done, 2u);
  renderLoadingScreen();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // The window is 640x360: the bar runs from y 18 to 36, the fill from x 64 to 320.
  EXPECT_GT(grey(200, 27), 0.95f);  // fill
  EXPECT_LT(grey(400, 27), 0.05f);  // the empty part of the bar
  EXPECT_GT(grey(62, 27), 0.95f);   // left edge
  EXPECT_GT(grey(578, 27), 0.95f);  // right edge
  EXPECT_GT(grey(400, 34), 0.95f);  // top edge
  EXPECT_GT(grey(400, 19), 0.95f);  // bottom edge
  EXPECT_LT(grey(400, 40), 0.05f);  // above the bar
  EXPECT_LT(grey(320, 180), 0.05f);

  for (auto& entry : dataIndex) entry->used = true;
  drawLoadingScreen();
  renderLoadingScreen();
  EXPECT_LT(grey(200, 27), 0.05f);  // everything opened: black again
  finishLoadingScreen();
  dataIndex.clear();
  dataMode = kDataPlain;
}

TEST(LoadingScreen, LogoIsCentredAtSeventyPercentOfTheWidth) {
  dataMode = kDataPlain;  // the generated logo in the repository's tree
  dataIndex.clear();
  startLoadingScreen();
  for (int i = 0; i < 75; ++i) drawLoadingScreen();  // half of the expected files: full brightness
  loadLoadingLogo();
  renderLoadingScreen();
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // A 1024 x 256 logo at 70 % of 640 pixels: 448 x 112, from x 96 to 544,
  // centred on the picture's middle row.
  float brightest = 0.0f;
  for (int x = 100; x < 540; x += 4) brightest = std::max(brightest, grey(x, 180));
  EXPECT_GT(brightest, 0.5f) << "the lettering crosses the middle row";
  for (int y = 0; y < 360; y += 8) {
    EXPECT_LT(grey(40, y), 0.05f) << "left of the logo stays black";
    EXPECT_LT(grey(600, y), 0.05f) << "right of the logo stays black";
  }
  if (const char* dump = std::getenv("TINLANTERN_DUMP")) {
    std::vector<unsigned char> rgb(640 * 360 * 3);
    glReadPixels(0, 0, 640, 360, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    stbi_flip_vertically_on_write(1);
    stbi_write_png(dump, 640, 360, 3, rgb.data(), 640 * 3);
  }
  finishLoadingScreen();
}

}  // namespace
