// The TGA, BMP and JPEG loaders on files written by other encoders (Pillow,
// see tests/fixtures/images/make_fixtures.py) and on hand-made broken ones.
// Every file is served from the data index, as in the show.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "failure_notes.h"
#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/texture/texture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Loader = bool (*)(const char*, Texture&);

// The fixtures' pattern: pixel (x, y), y from the top.
std::vector<int> pattern(int x, int y) {
  return {x * 50, y * 100, 200 - x * 40, 255 - x * 30 - y * 10};
}

Bytes fixture(const std::string& name) {
  std::ifstream in("tests/fixtures/images/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void put16(Bytes& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(Bytes& out, size_t at, uint32_t value) {
  put16(out, at, value);
  put16(out, at + 2, value >> 16);
}

struct Result {
  bool ok = false;
  Texture texture;
  Bytes pixels;        // a copy of imageData, which is released at once
  std::string output;  // what the loader noted for the failure that follows
};

class ImageLoaders : public ::testing::Test {
 protected:
  void SetUp() override {
    setMessageBoxesEnabled(false);
    dataMode = kDataReading;
    dataIndex.clear();
  }
  void TearDown() override {
    dataIndex.clear();
    dataMode = kDataPlain;
  }

  void load(Loader loader, const Bytes& file, Result& result, const char* name = "data/t.img") {
    auto entry = std::make_unique<DataEntry>();
    entry->name = name;
    entry->data = file;
    dataIndex.push_back(std::move(entry));
    result.ok = loader(name, result.texture);
    result.output = takeNotesText();
    Texture& t = result.texture;
    if (result.ok) {
      EXPECT_NE(t.imageData, nullptr);
      result.pixels.assign(t.imageData, t.imageData + size_t{t.width} * t.height * t.bpp / 8);
    } else {
      EXPECT_EQ(t.imageData, nullptr) << "a failed load leaves no pixels";
    }
    std::free(t.imageData);
    t.imageData = nullptr;
    dataIndex.clear();
  }

  // Checks a 5x3 result against the pattern: `bytes` per pixel, bottom row
  // first, alpha either the pattern's or 255.
  void expectPattern(const Result& result, int bytes, bool patternAlpha) {
    ASSERT_TRUE(result.ok) << result.output;
    ASSERT_EQ(result.texture.width, 5u);
    ASSERT_EQ(result.texture.height, 3u);
    ASSERT_EQ(result.pixels.size(), size_t(5 * 3 * bytes));
    for (int row = 0; row < 3; ++row)
      for (int x = 0; x < 5; ++x) {
        std::vector<int> want = pattern(x, 2 - row);
        if (!patternAlpha) want[3] = 255;
        want.resize(bytes);
        const uint8_t* p = &result.pixels[(row * 5 + x) * bytes];
        EXPECT_EQ(std::vector<int>(p, p + bytes), want) << "x " << x << ", row " << row;
      }
  }
};

// ---- TGA ----

Bytes tgaHeader(uint8_t type, uint32_t width, uint32_t height, uint8_t bits) {
  Bytes out(18, 0);
  out[2] = type;
  put16(out, 12, width);
  put16(out, 14, height);
  out[16] = bits;
  return out;
}

const char* kTgaInvalid = "ERROR at src/util/texture/tga_loader\\.cpp:[0-9]+: Invalid texture information";

TEST_F(ImageLoaders, TgaUncompressed24BitIsRgbInFileRowOrder) {
  Result result;
  load(loadTGA, fixture("rgb_5x3.tga"), result);
  EXPECT_EQ(result.texture.bpp, 24u);
  EXPECT_EQ(result.texture.format, static_cast<GLenum>(GL_RGB));
  expectPattern(result, 3, false);
}

TEST_F(ImageLoaders, TgaRunLength32BitKeepsAlpha) {
  Result result;
  load(loadTGA, fixture("rgba_5x3_rle.tga"), result);
  EXPECT_EQ(result.texture.bpp, 32u);
  EXPECT_EQ(result.texture.format, static_cast<GLenum>(GL_RGBA));
  expectPattern(result, 4, true);
}

TEST_F(ImageLoaders, TgaRunsMayCrossRowsAndEndExactlyAtTheLastPixel) {
  Bytes file = tgaHeader(10, 3, 2, 24);
  Bytes chunks = {0x83, 1, 2, 3,           // four copies of B,G,R = 1,2,3
                  0x01, 4, 5, 6, 7, 8, 9};  // two raw pixels
  file.insert(file.end(), chunks.begin(), chunks.end());
  Result result;
  load(loadTGA, file, result);
  ASSERT_TRUE(result.ok) << result.output;
  EXPECT_EQ(result.pixels, Bytes({3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
}

TEST_F(ImageLoaders, TgaRunsBeyondTheImageAreRefused) {
  for (Bytes chunks : {Bytes{0x86, 1, 2, 3}, Bytes{0x80, 1, 2, 3, 0x05, 0, 0, 0, 0, 0, 0}}) {
    Bytes file = tgaHeader(10, 3, 2, 24);
    file.insert(file.end(), chunks.begin(), chunks.end());
    file.resize(file.size() + 64, 0);  // plenty of bytes: only the count is wrong
    Result result;
    load(loadTGA, file, result);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "ERROR: Too many pixels read\n");
  }
}

TEST_F(ImageLoaders, TgaHeaderMustMatchATemplateExactly) {
  // Image ID, colour map type, colour-mapped / grey / other types, colour map
  // layout fields, x and y origin.
  const std::vector<std::pair<size_t, uint8_t>> changes = {
      {0, 4}, {1, 1}, {2, 1}, {2, 3}, {2, 11}, {5, 16}, {8, 1}, {11, 1}};
  for (auto [at, value] : changes) {
    Bytes file = fixture("rgb_5x3.tga");
    file[at] = value;
    Result result;
    load(loadTGA, file, result);
    EXPECT_FALSE(result.ok) << at;
    EXPECT_EQ(result.output, "Invalid Image: TGA file be type 2 or type 10\n") << at;
  }
}

TEST_F(ImageLoaders, TgaRefusesOtherDepthsZeroAndAbsurdSizes) {
  const std::vector<Bytes> headers = {tgaHeader(2, 4, 4, 16), tgaHeader(2, 4, 4, 8),
                                      tgaHeader(10, 0, 4, 24), tgaHeader(2, 4, 0, 32),
                                      tgaHeader(2, 16385, 1, 24), tgaHeader(10, 65535, 65535, 32)};
  for (const Bytes& header : headers) {
    Bytes file = header;
    file.resize(file.size() + 200, 0);
    Result result;
    load(loadTGA, file, result);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(testing::internal::RE::FullMatch(result.output, std::string(kTgaInvalid) + "\n"))
        << result.output;
  }
  Bytes largest = tgaHeader(10, 16384, 1, 24);  // the largest side allowed loads
  for (int i = 0; i < 128; ++i) largest.insert(largest.end(), {0xff, 7, 7, 7});
  Result result;
  load(loadTGA, largest, result);
  EXPECT_TRUE(result.ok) << result.output;
}

TEST_F(ImageLoaders, TruncatedTgaFilesFailWithTheirMessage) {
  Bytes whole = fixture("rgb_5x3.tga");
  Bytes rle = tgaHeader(10, 3, 2, 24);
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {Bytes(whole.begin(), whole.begin() + 11), "ERROR: Could not read file header\n"},
      {Bytes(whole.begin(), whole.begin() + 17), "ERROR: Could not read info header\n"},
      {Bytes(whole.begin(), whole.begin() + 18 + 44), "ERROR: Could not read image data\n"},
      {rle, "ERROR: Could not read RLE header\n"},
      {[&] { Bytes b = rle; b.insert(b.end(), {0x83, 1, 2, 3}); return b; }(),
       "ERROR: Could not read RLE header\n"},
      {[&] { Bytes b = rle; b.insert(b.end(), {0x02, 1, 2, 3, 4, 5}); return b; }(),
       "ERROR: Could not read image data\n"},
      {[&] { Bytes b = rle; b.insert(b.end(), {0x83, 1, 2}); return b; }(),
       "ERROR: Could not read from file\n"},
  };
  for (const auto& [file, message] : cases) {
    Result result;
    load(loadTGA, file, result);
    EXPECT_FALSE(result.ok) << message;
    EXPECT_EQ(result.output, message);
  }
}

TEST_F(ImageLoaders, MissingFilesFail) {
  Texture texture;
  EXPECT_FALSE(loadTGA("data/none.tga", texture));
  EXPECT_EQ(takeNotesText(), "ERROR: Could not open texture file\n");
  EXPECT_FALSE(loadBMP("data/none.bmp", texture));
  EXPECT_FALSE(loadJPG("data/none.jpg", texture));
  EXPECT_EQ(takeNotesText(), "");
  EXPECT_EQ(texture.imageData, nullptr);
}

// ---- BMP ----

// A 24-bit bitmap of the 5x3 pattern, built field by field.
Bytes makeBmp(int32_t height, uint32_t imageSizeField, bool padded = true, uint16_t bits = 24,
              uint32_t compression = 0) {
  const int width = 5;
  const int rowBytes = padded ? 16 : 15;
  Bytes out(54, 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 10, 54);
  put32(out, 14, 40);
  put32(out, 18, width);
  put32(out, 22, static_cast<uint32_t>(height));
  put16(out, 26, 1);
  put16(out, 28, bits);
  put32(out, 30, compression);
  put32(out, 34, imageSizeField);
  int rows = height < 0 ? -height : height;
  for (int i = 0; i < rows; ++i) {
    int y = height < 0 ? i : rows - 1 - i;
    for (int x = 0; x < width; ++x) {
      std::vector<int> p = pattern(x, y);
      out.insert(out.end(), {uint8_t(p[2]), uint8_t(p[1]), uint8_t(p[0])});
    }
    out.resize(out.size() + rowBytes - width * 3, 0);
  }
  put32(out, 2, static_cast<uint32_t>(out.size()));
  return out;
}

const char* kBmpInvalid = "ERROR at src/util/texture/bmp_loader\\.cpp:[0-9]+: Invalid texture information\n";

TEST_F(ImageLoaders, BmpWithRowFillerLoadsAsRgbaBottomRowFirst) {
  Result result;
  load(loadBMP, fixture("rgb_5x3.bmp"), result);
  EXPECT_EQ(result.texture.bpp, 32u);
  EXPECT_EQ(result.texture.format, static_cast<GLenum>(GL_RGBA));
  expectPattern(result, 4, false);
  EXPECT_EQ(result.output, "");
}

TEST_F(ImageLoaders, BmpTopDownRowsAndAZeroSizeFieldLoadTheSamePicture) {
  const std::vector<Bytes> files = {makeBmp(3, 48), makeBmp(-3, 48), makeBmp(3, 0),
                                    makeBmp(-3, 0)};
  for (const Bytes& file : files) {
    Result result;
    load(loadBMP, file, result);
    expectPattern(result, 4, false);
  }
}

TEST_F(ImageLoaders, BmpSizeFieldDecidesTheFillerAndTheLastFillerMayBeMissing) {
  // Unpadded rows whose size field says so still load: the field rules.
  Result unpadded;
  load(loadBMP, makeBmp(3, 45, false), unpadded);
  expectPattern(unpadded, 4, false);
  Bytes cut = makeBmp(3, 48);
  cut.pop_back();
  Result result;
  load(loadBMP, cut, result);
  expectPattern(result, 4, false);
}

TEST_F(ImageLoaders, UnsupportedBmpFilesFailWithoutAMessage) {
  Bytes notBmp = makeBmp(3, 48);
  notBmp[0] = 'X';
  Bytes bothColourCounts = makeBmp(3, 48);
  put32(bothColourCounts, 46, 2);
  put32(bothColourCounts, 50, 2);
  const std::vector<Bytes> files = {
      fixture("palette_5x3.bmp"), makeBmp(3, 48, true, 32), makeBmp(3, 48, true, 16),
      makeBmp(3, 48, true, 24, 1), notBmp, bothColourCounts};
  for (const Bytes& file : files) {
    Result result;
    load(loadBMP, file, result);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "");
  }
  Bytes oneColourCount = makeBmp(3, 48);
  put32(oneColourCount, 46, 2);
  Result result;
  load(loadBMP, oneColourCount, result);
  expectPattern(result, 4, false);
}

TEST_F(ImageLoaders, TruncatedBmpFilesFailWithoutAMessage) {
  Bytes whole = fixture("rgb_5x3.bmp");
  Bytes badOffset = whole;
  put32(badOffset, 10, 5000);
  for (size_t length : {size_t{10}, size_t{57}, size_t{54 + 20}, whole.size() - 3}) {
    Result result;
    load(loadBMP, Bytes(whole.begin(), whole.begin() + length), result);
    EXPECT_FALSE(result.ok) << length;
    EXPECT_EQ(result.output, "");
  }
  Result result;
  load(loadBMP, badOffset, result);
  EXPECT_FALSE(result.ok);
}

TEST_F(ImageLoaders, BmpZeroAndAbsurdSizesAreInvalid) {
  const std::vector<std::pair<uint32_t, int32_t>> sizes = {
      {0, 3}, {5, 0}, {16385, 3}, {5, 16385}, {5, -16385}, {0x7fffffff, 0x7fffffff},
      {0x80000000u, 3}};
  for (auto [width, height] : sizes) {
    Bytes file = makeBmp(3, 48);
    put32(file, 18, width);
    put32(file, 22, static_cast<uint32_t>(height));
    Result result;
    load(loadBMP, file, result);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(testing::internal::RE::FullMatch(result.output, kBmpInvalid))
        << width << "x" << height << ": " << result.output;
  }
}

// A header may declare 16384 x 16384 pixels over a thousand bytes of data.
// Each file is loaded in a child whose address space has only 256 MB to
// spare: a loader that took memory for the declared picture before finding
// that the file cannot fill it would fail there for want of memory instead
// of for the short data.
TEST_F(ImageLoaders, ShortFilesThatDeclareHugePicturesFailBeforeAllocatingThem) {
  auto loadWithLittleMemory = [](Loader loader, const Bytes& file, const std::string& said) {
    auto child = [&] {
      long pages = 0;
      std::ifstream("/proc/self/statm") >> pages;
      rlimit limit;
      limit.rlim_cur = limit.rlim_max =
          rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t{256} << 20);
      setrlimit(RLIMIT_AS, &limit);
      auto entry = std::make_unique<DataEntry>();
      entry->name = "data/huge.img";
      entry->data = file;
      dataIndex.push_back(std::move(entry));
      Texture texture;
      const bool ok = loader("data/huge.img", texture);
      std::fprintf(stderr, "%s[done]", takeNotesText().c_str());
      std::exit(ok ? 2 : 0);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "^" + said + "\\[done\\]$");
  };
  Bytes tga = tgaHeader(2, 16384, 16384, 32);
  tga.resize(tga.size() + 1000, 7);
  loadWithLittleMemory(loadTGA, tga, "ERROR: Could not read image data\n");
  Bytes bmp = makeBmp(3, 48);
  put32(bmp, 18, 16384);
  put32(bmp, 22, 16384);
  bmp.resize(bmp.size() + 1000, 7);
  loadWithLittleMemory(loadBMP, bmp, "");  // short BMP data says nothing of its own
}

// ---- JPEG ----

size_t startOfFrame(const Bytes& jpeg) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) return i;
  ADD_FAILURE() << "no baseline frame header";
  return 0;
}

const char* kJpgError = "ERROR at src/util/texture/jpg_loader\\.cpp:[0-9]+: ";

TEST_F(ImageLoaders, JpegDecodesToRgbaBottomRowFirst) {
  Result result;
  load(loadJPG, fixture("gradient_16x16.jpg"), result);
  ASSERT_TRUE(result.ok) << result.output;
  EXPECT_EQ(result.texture.width, 16u);
  EXPECT_EQ(result.texture.height, 16u);
  EXPECT_EQ(result.texture.bpp, 32u);
  EXPECT_EQ(result.texture.format, static_cast<GLenum>(GL_RGBA));
  int worst = 0;
  for (int row = 0; row < 16; ++row)
    for (int x = 0; x < 16; ++x) {
      const uint8_t* p = &result.pixels[(row * 16 + x) * 4];
      int want[4] = {x * 16, (15 - row) * 16, 128, 255};
      for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(p[c] - want[c]));
    }
  EXPECT_LE(worst, 6) << "largest channel error";
}

TEST_F(ImageLoaders, BrokenJpegFilesFailCleanly) {
  Bytes good = fixture("gradient_16x16.jpg");
  Bytes zeroWidth = good;
  zeroWidth[startOfFrame(good) + 7] = 0;
  zeroWidth[startOfFrame(good) + 8] = 0;
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {fixture("rgb_5x3.tga"), "Not a JPEG file"},
      {Bytes(good.begin(), good.begin() + 100), "JPEG datastream contains no image"},
      {zeroWidth, "Empty JPEG image"},
      {Bytes{0xff, 0xd8}, "JPEG datastream contains no image"},
      // Cut inside the scan: libjpeg only warns and fills the rest with grey.
      {Bytes(good.begin(), good.end() - 40), "Premature end of JPEG file"},
  };
  for (const auto& [file, message] : cases) {
    Result result;
    load(loadJPG, file, result);
    EXPECT_FALSE(result.ok) << message;
    EXPECT_TRUE(testing::internal::RE::PartialMatch(result.output, std::string(kJpgError) + message))
        << result.output;
  }
}

TEST_F(ImageLoaders, JpegAbsurdSizeIsRefusedBeforeDecoding) {
  Bytes file = fixture("gradient_16x16.jpg");
  size_t frame = startOfFrame(file);
  file[frame + 7] = 0x4e;  // width 20000
  file[frame + 8] = 0x20;
  Result result;
  load(loadJPG, file, result);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(testing::internal::RE::FullMatch(
      result.output, std::string(kJpgError) + "Invalid texture information\n"))
      << result.output;
}

}  // namespace
