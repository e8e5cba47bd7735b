// The loading screen's bar, read back from the window.
#include <GL/glew.h>
#include <gtest/gtest.h>

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

}  // namespace
