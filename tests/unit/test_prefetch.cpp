// Pictures decoded and documents parsed on a worker ahead of the loading:
// what the loading takes is what its own loaders would have made, and
// failures are left to it.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "util/objects3d/dae_loader.h"
#include "util/prefetch.h"
#include "util/texture/texture.h"
#include "data_index.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class Prefetch : public DataIndexTest {
 protected:
  void TearDown() override {
    stopPrefetch();
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

TEST_F(Prefetch, TakesWhatTheLoadersMakeAndLeavesFailuresToTheLoading) {
  const Bytes png = fileBytes("tests/fixtures/png/rgba8.png");
  const Bytes jpg = fileBytes("tests/fixtures/images/gradient_16x16.jpg");
  put("data/a.png", png);
  put("data/b.JPG", jpg);
  put("data/broken.png", Bytes(100, 7));
  put("data/notes.txt", Bytes(10, 'x'));
  ::testing::internal::CaptureStderr();
  startPrefetch({"data/a.png", "data/b.JPG", "data/broken.png", "data/notes.txt", "data/absent.png"});
  waitForPrefetch();

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

TEST_F(Prefetch, NothingAheadOutsideReadingModeOrAfterTheStop) {
  put("data/a.png", fileBytes("tests/fixtures/png/rgba8.png"));
  Texture taken;
  dataMode = kDataPlain;
  startPrefetch({"data/a.png"});
  EXPECT_FALSE(takePrefetchedImage("data/a.png", taken));
  dataMode = kDataReading;
  startPrefetch({"data/a.png"});
  waitForPrefetch();
  stopPrefetch();  // what was decoded is freed
  EXPECT_FALSE(takePrefetchedImage("data/a.png", taken));
  EXPECT_EQ(taken.imageData, nullptr);
}

std::string printed(const TiXmlDocument& document) {
  TiXmlPrinter printer;
  document.Accept(&printer);
  return printer.Str();
}

TEST_F(Prefetch, DocumentsAreParsedAsTheReaderParsesThemAndFailuresLeftToIt) {
  // Line ends of every kind: TinyXML folds them while reading a file.
  const std::string text =
      "<?xml version=\"1.0\"?>\r\n<COLLADA version=\"1.4.1\">\r<asset>\t<unit meter=\"1\"/>"
      "</asset>\n<library_visual_scenes><visual_scene id=\"s\"/></library_visual_scenes></COLLADA>\r\n";
  put("data/m/model.dae", text);
  put("data/m/broken.DAE", std::string("<COLLADA><node></COLLADA>"));
  put("data/m/empty.dae", std::string());
  startPrefetch({"data/m/model.dae", "data/m/broken.DAE", "data/m/empty.dae"});
  waitForPrefetch();

  std::unique_ptr<ColladaNumbers> numbers;
  std::unique_ptr<TiXmlDocument> taken = takePrefetchedDocument("data/m/model.dae", &numbers);
  ASSERT_NE(taken, nullptr);
  ASSERT_NE(numbers, nullptr) << "its number lists come with it";
  EXPECT_TRUE(numbers->indices.empty());  // it has none
  TiXmlDocument own;
  own.SetTabSize(0);
  FILE* file = dataFopen("data/m/model.dae", "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(own.LoadFile(file));
  std::fclose(file);
  EXPECT_EQ(printed(*taken), printed(own));
  EXPECT_EQ(takePrefetchedDocument("data/m/model.dae"), nullptr) << "taken once";
  EXPECT_EQ(takePrefetchedDocument("data/m/broken.DAE"), nullptr) << "the reader parses it and reports";
  EXPECT_EQ(takePrefetchedDocument("data/m/empty.dae"), nullptr);
  Texture picture;
  EXPECT_FALSE(takePrefetchedImage("data/m/model.dae", picture)) << "a document is no picture";
}

TEST_F(Prefetch, TheColladaReaderTakesTheDocumentParsedAhead) {
  put("data/m/model.dae", std::string("<?xml version=\"1.0\"?><COLLADA version=\"1.4.1\">"
                                      "<library_geometries/><library_visual_scenes><visual_scene id=\"s\"><node id=\"Ahead\"/>"
                                      "</visual_scene></library_visual_scenes></COLLADA>"));
  startPrefetch({"data/m/model.dae"});
  waitForPrefetch();
  // The text changes after the parse: only the document parsed ahead has the node.
  dataIndex.back()->data.assign(10, ' ');
  ColladaScene scene;
  Node root;
  readCollada("data/m/model.dae", scene, root, [](const std::string&) { return nullptr; });
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(root.children[0]->name, "Ahead");
}

}  // namespace
