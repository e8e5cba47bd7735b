// Pictures decoded on a worker ahead of the loading: what the loading takes
// is what its own loaders would have made, and failures are left to it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "util/texture/image_prefetch.h"
#include "util/texture/texture.h"
#include "data_index.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class ImagePrefetch : public DataIndexTest {
 protected:
  void TearDown() override {
    stopImagePrefetch();
    DataIndexTest::TearDown();
  }
};

void expectSamePicture(Texture& taken, Texture& own) {
  EXPECT_EQ(taken.width, own.width);
  EXPECT_EQ(taken.height, own.height);
  EXPECT_EQ(taken.bpp, own.bpp);
  EXPECT_EQ(taken.format, own.format);
  ASSERT_NE(taken.imageData, nullptr);
  ASSERT_NE(own.imageData, nullptr);
  EXPECT_EQ(std::memcmp(taken.imageData, own.imageData, size_t{own.width} * own.height * own.bpp / 8), 0);
  std::free(taken.imageData);
  std::free(own.imageData);
  taken.imageData = own.imageData = nullptr;
}

TEST_F(ImagePrefetch, TakesWhatTheLoadersMakeAndLeavesFailuresToTheLoading) {
  const Bytes png = fileBytes("tests/fixtures/png/rgba8.png");
  const Bytes jpg = fileBytes("tests/fixtures/images/gradient_16x16.jpg");
  put("data/a.png", png);
  put("data/b.JPG", jpg);
  put("data/broken.png", Bytes(100, 7));
  put("data/notes.txt", Bytes(10, 'x'));
  ::testing::internal::CaptureStderr();
  startImagePrefetch({"data/a.png", "data/b.JPG", "data/broken.png", "data/notes.txt", "data/absent.png"});
  waitForImagePrefetch();

  Texture taken, own;
  ASSERT_TRUE(takePrefetchedImage("data/a.png", taken));
  ASSERT_TRUE(loadPNG(own, "data/a.png"));
  expectSamePicture(taken, own);
  ASSERT_TRUE(takePrefetchedImage("data/b.JPG", taken));
  ASSERT_TRUE(loadJPG("data/b.JPG", own));
  expectSamePicture(taken, own);

  EXPECT_FALSE(takePrefetchedImage("data/broken.png", taken)) << "the loading decodes it and reports";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the worker says nothing of it";
  EXPECT_FALSE(takePrefetchedImage("data/notes.txt", taken)) << "not a picture";
  EXPECT_FALSE(takePrefetchedImage("data/absent.png", taken)) << "not in the data file";
  EXPECT_FALSE(takePrefetchedImage("data/a.png", taken)) << "taken once; a second load decodes again";
  EXPECT_EQ(taken.imageData, nullptr);
}

TEST_F(ImagePrefetch, NothingAheadOutsideReadingModeOrAfterTheStop) {
  put("data/a.png", fileBytes("tests/fixtures/png/rgba8.png"));
  Texture taken;
  dataMode = kDataPlain;
  startImagePrefetch({"data/a.png"});
  EXPECT_FALSE(takePrefetchedImage("data/a.png", taken));
  dataMode = kDataReading;
  startImagePrefetch({"data/a.png"});
  waitForImagePrefetch();
  stopImagePrefetch();  // what was decoded is freed
  EXPECT_FALSE(takePrefetchedImage("data/a.png", taken));
  EXPECT_EQ(taken.imageData, nullptr);
}

}  // namespace
