// The PNG decoder against Pillow's decode of the same files, its behaviour on
// broken input, and the texture loader's PNG front-end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "failure_notes.h"
#include "platform/messagebox.h"
#include "util/texture/png_decoder.h"
#include "util/texture/texture.h"

namespace {

const std::string kDir = "tests/fixtures/png/";

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Decoded {
  int result = 0;
  std::string failure;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

// Decodes from an exactly sized heap copy, so that a read past the end is a
// real overrun for the sanitizers.
Decoded decode(const std::vector<uint8_t>& bytes, bool bitwise = false) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + 1]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  QxRawPngDecoder decoder;
  decoder.bitwiseHuffman = bitwise;
  Decoded d;
  d.result = decoder.decodeMemory(copy.get(), bytes.size());
  if (decoder.failure) d.failure = decoder.failure;
  d.width = decoder.imageWidth;
  d.height = decoder.imageHeight;
  if (decoder.pixels) d.rgba.assign(decoder.pixels, decoder.pixels + size_t{d.width} * d.height * 4);
  return d;
}

Decoded decodeFixture(const std::string& name) {
  QxRawPngDecoder decoder;
  Decoded d;
  d.result = decoder.decodeFile((kDir + name + ".png").c_str());
  d.width = decoder.imageWidth;
  d.height = decoder.imageHeight;
  if (decoder.pixels) d.rgba.assign(decoder.pixels, decoder.pixels + size_t{d.width} * d.height * 4);
  return d;
}

const char* const kAccepted[] = {
    "grey1",         "grey1_filters", "grey1_adam7",   "grey8",          "grey8_trns",
    "grey8_filters", "grey8_adam7",   "rgb8",          "rgb8_trns",      "rgb8_filters",
    "rgb8_adam7",    "rgb8_adam7_3x2", "rgb8_stored",  "rgb16_filters",  "rgb16_trns",
    "rgb16_adam7",   "pal4",          "pal4_trns",     "pal4_filters",   "pal4_adam7",
    "pal8",          "pal8_trns",     "pal8_filters",  "pal8_adam7",     "pal8_beyond",
    "ga8",           "ga8_filters",   "ga8_adam7",     "rgba8",          "rgba8_filters",
    "rgba8_adam7",   "rgba8_stored"};

const char* const kRefused[] = {"grey2", "grey4", "grey16", "pal1", "pal2", "ga16", "rgba16"};

// A PNG around the given zlib stream; CRCs are zero (the decoder skips them).
struct PngBuilder {
  std::vector<uint8_t> bytes{137, 80, 78, 71, 13, 10, 26, 10};

  void chunk(const char* type, const std::vector<uint8_t>& body, uint32_t length) {
    for (int s = 24; s >= 0; s -= 8) bytes.push_back(uint8_t(length >> s));
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), body.begin(), body.end());
    bytes.insert(bytes.end(), 4, 0);
  }
  void chunk(const char* type, const std::vector<uint8_t>& body) {
    chunk(type, body, uint32_t(body.size()));
  }
  void header(uint32_t w, uint32_t h, int depth, int colourType) {
    chunk("IHDR", {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                   uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h),
                   uint8_t(depth), uint8_t(colourType), 0, 0, 0});
  }
};

// Deflate bits, least significant first; Huffman codes most significant first.
struct BitWriter {
  std::vector<uint8_t> bytes{0x78, 0x9c};
  int used = 8;
  void bits(uint32_t value, int n) {
    for (int i = 0; i < n; ++i) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      bytes.back() |= uint8_t(((value >> i) & 1) << used++);
    }
  }
  void code(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits((value >> i) & 1, 1);
  }
  // Fixed codes: literals 0..143 are 8 bits from 0x30, lengths from 257 are 7 bits.
  void literal(uint8_t v) { code(0x30 + v, 8); }
  void match3(uint32_t distanceCode) {
    code(1, 7);                // symbol 257: length 3
    code(distanceCode, 5);     // distance codes 0..3 have no extra bits
  }
};

// A 4 x 1 grey image whose row is: filter 0, grey 50, then a copy of 3 bytes
// from the given distance code.
Decoded decodeGreyRowWithMatch(uint32_t distanceCode) {
  BitWriter w;
  w.bits(1, 1);  // final
  w.bits(1, 2);  // fixed codes
  w.literal(0);
  w.literal(50);
  w.match3(distanceCode);
  w.code(0, 7);  // end of block
  PngBuilder png;
  png.header(4, 1, 8, 0);
  png.chunk("IDAT", w.bytes);
  png.chunk("IEND", {});
  return decode(png.bytes);
}

}  // namespace

// ------------------------------------------------------------ decoding

TEST(PngDecoder, MatchesPillowOnEveryAcceptedFormat) {
  for (const char* name : kAccepted) {
    SCOPED_TRACE(name);
    const Decoded d = decodeFixture(name);
    const std::vector<uint8_t> expected = readFile(kDir + name + ".rgba");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(size_t{d.width} * d.height * 4, expected.size());
    EXPECT_TRUE(d.rgba == expected);
  }
}

TEST(PngDecoder, AdamSevenAndStoredBlocksDecodeLikeTheirPlainTwins) {
  const std::pair<const char*, const char*> twins[] = {
      {"rgb8_adam7", "rgb8_filters"}, {"rgba8_adam7", "rgba8_filters"},
      {"pal4_adam7", "pal4_filters"}, {"grey1_adam7", "grey1_filters"},
      {"rgb8_stored", "rgb8"},        {"rgba8_stored", "rgba8"}};
  for (const auto& [a, b] : twins) {
    SCOPED_TRACE(a);
    const Decoded da = decodeFixture(a), db = decodeFixture(b);
    EXPECT_EQ(da.width, db.width);
    EXPECT_FALSE(da.rgba.empty());
    EXPECT_TRUE(da.rgba == db.rgba);
  }
}

TEST(PngDecoder, TransparencyFollowsTheChunk) {
  // Palette: tRNS 0, 128 covers indices 0 and 1 only; index = (x + 2y) % 40.
  const Decoded pal = decodeFixture("pal8_trns");
  for (uint32_t y = 0; y < pal.height; ++y)
    for (uint32_t x = 0; x < pal.width; ++x) {
      const uint32_t index = (x + 2 * y) % 40;
      const int alpha = index == 0 ? 0 : index == 1 ? 128 : 255;
      ASSERT_EQ(pal.rgba[(y * pal.width + x) * 4 + 3], alpha) << x << "," << y;
    }
  // RGB key: exactly the pixels of the key colour (that of pixel 3, 4) are clear.
  const Decoded rgb = decodeFixture("rgb8_trns");
  const uint8_t* key = &rgb.rgba[(4 * rgb.width + 3) * 4];
  int clear = 0;
  for (size_t i = 0; i < rgb.rgba.size(); i += 4) {
    const bool isKey = std::equal(key, key + 3, &rgb.rgba[i]);
    EXPECT_EQ(rgb.rgba[i + 3], isKey ? 0 : 255);
    clear += isKey;
  }
  EXPECT_GE(clear, 1);
}

TEST(PngDecoder, RefusedDepthsGiveZeroSize) {
  for (const char* name : kRefused) {
    SCOPED_TRACE(name);
    const Decoded d = decodeFixture(name);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.width, 0u);
    EXPECT_EQ(d.height, 0u);
  }
}

TEST(PngDecoder, LookupTablesAgreeWithBitwiseDecoding) {
  for (const char* name : kAccepted) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = readFile(kDir + name + ".png");
    EXPECT_TRUE(decode(bytes).rgba == decode(bytes, true).rgba);
    // Damaged streams must stop at the same place too.
    for (size_t i = 40; i < bytes.size(); i += 7) {
      bytes[i] ^= 0x5a;
      ASSERT_TRUE(decode(bytes).rgba == decode(bytes, true).rgba) << "byte " << i;
    }
  }
}

TEST(PngDecoder, FlipRowsReversesTheRowOrder) {
  QxRawPngDecoder decoder;
  ASSERT_EQ(decoder.decodeFile((kDir + "rgba8.png").c_str()), 1);
  const std::vector<uint8_t> top(decoder.pixels, decoder.pixels + decoder.imageWidth * decoder.imageHeight * 4);
  decoder.flipRows();
  const size_t stride = decoder.imageWidth * 4;
  for (uint32_t y = 0; y < decoder.imageHeight; ++y)
    EXPECT_EQ(0, std::memcmp(decoder.pixels + y * stride,
                             top.data() + (decoder.imageHeight - 1 - y) * stride, stride));
}

// ------------------------------------------------------------ broken input

TEST(PngDecoder, FileLevelFaultsReturnMinusOne) {
  QxRawPngDecoder missing;
  EXPECT_EQ(missing.decodeFile("tests/fixtures/png/no_such_file.png"), -1);

  std::vector<uint8_t> bytes = readFile(kDir + "rgb8.png");
  bytes[1] = 'Q';
  EXPECT_EQ(decode(bytes).result, -1);
  EXPECT_EQ(decode({137, 80, 78}).result, -1);

  PngBuilder png;
  png.header(1, 1, 8, 3);
  png.chunk("PLTE", {1, 2, 3, 4});
  EXPECT_EQ(decode(png.bytes).result, -1);
}

TEST(PngDecoder, PaletteIndexOrTransparencyBeyondThePaletteWritesNothing) {
  // Also covered by the Pillow comparison; here the hand-made expectation.
  const Decoded d = decodeFixture("pal8_beyond");
  EXPECT_TRUE(d.rgba == readFile(kDir + "pal8_beyond.rgba"));
  EXPECT_EQ(d.rgba[3], 1);  // index 0: alpha from tRNS
  EXPECT_EQ(d.rgba[4 * 4 + 3], 0);  // index 4: beyond the palette, untouched
}

TEST(PngDecoder, ChunkLengthPastTheEndStopsReading) {
  std::vector<uint8_t> bytes = readFile(kDir + "rgba8.png");
  // The IDAT length field sits right after the signature and the IHDR chunk.
  ASSERT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "IDAT");
  bytes[33] = 0x7f;
  const Decoded d = decode(bytes);
  EXPECT_EQ(d.result, -1);  // no image data at all
  EXPECT_EQ(d.failure, "Image data ends early");
  EXPECT_EQ(d.width, 13u);
  EXPECT_EQ(std::count(d.rgba.begin(), d.rgba.end(), 0), long(d.rgba.size()));
}

TEST(PngDecoder, DistanceBeforeTheStartOfTheStreamStopsDecoding) {
  const Decoded ok = decodeGreyRowWithMatch(0);  // distance 1: repeat the 50
  EXPECT_TRUE(ok.rgba == std::vector<uint8_t>({50, 50, 50, 255, 50, 50, 50, 255, 50, 50, 50, 255,
                                                50, 50, 50, 255}));
  EXPECT_EQ(ok.result, 1);
  const Decoded bad = decodeGreyRowWithMatch(3);  // distance 4: only 2 bytes exist
  EXPECT_EQ(bad.result, -1);
  EXPECT_EQ(bad.failure, "Image data does not inflate");
  EXPECT_TRUE(bad.rgba == std::vector<uint8_t>({50, 50, 50, 255, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0, 0}));
}

TEST(PngDecoder, TruncatedFilesGiveAPrefixOfTheImage) {
  for (const char* name : {"rgb8_filters", "rgba8_adam7", "rgb8_stored"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> bytes = readFile(kDir + name + ".png");
    const std::vector<uint8_t> expected = readFile(kDir + name + ".rgba");
    for (size_t n = 0; n < bytes.size(); ++n) {
      const Decoded d = decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
      ASSERT_TRUE(d.result == 1 || d.result == -1);
      // Success means a whole image (every row arrived before the cut),
      // or none at all for a format it does not decode.
      if (d.result == 1 && !d.rgba.empty()) {
        ASSERT_EQ(d.rgba, expected) << n;
      }
      if (d.rgba.empty()) continue;
      ASSERT_EQ(d.rgba.size(), expected.size());
      // Every pixel is either right or not reached (all zero).
      for (size_t i = 0; i < expected.size(); i += 4) {
        const bool reached = d.rgba[i] | d.rgba[i + 1] | d.rgba[i + 2] | d.rgba[i + 3];
        if (reached) {
          ASSERT_TRUE(std::equal(&expected[i], &expected[i] + 4, &d.rgba[i])) << n;
        }
      }
    }
  }
}

// A stream cut short or damaged with every chunk intact is a failure with
// its reason, not a partly blank picture; one that delivers every row
// succeeds whatever follows (no Adler-32, no IEND, CRCs unchecked).
TEST(PngDecoder, ImageDataThatEndsEarlyOrDoesNotInflateFailsAndAWholeStreamLoads) {
  const std::vector<uint8_t> original = readFile(kDir + "rgb8_filters.png");
  const std::vector<uint8_t> expected = readFile(kDir + "rgb8_filters.rgba");
  // Where the first IDAT's data starts and how long it is.
  size_t at = 8, idat = 0, length = 0;
  while (at + 8 <= original.size()) {
    length = size_t(original[at]) << 24 | original[at + 1] << 16 | original[at + 2] << 8 | original[at + 3];
    if (std::string(original.begin() + at + 4, original.begin() + at + 8) == "IDAT") {
      idat = at + 8;
      break;
    }
    at += 12 + length;
  }
  ASSERT_GT(idat, 0u);
  auto withIdat = [&](const std::vector<uint8_t>& data) {
    PngBuilder png;
    png.bytes.assign(original.begin(), original.begin() + idat - 8);
    png.chunk("IDAT", data);
    png.chunk("IEND", {});
    return png.bytes;
  };
  const std::vector<uint8_t> stream(original.begin() + idat, original.begin() + idat + length);

  Decoded cut = decode(withIdat(std::vector<uint8_t>(stream.begin(), stream.begin() + length / 2)));
  EXPECT_EQ(cut.result, -1);
  EXPECT_EQ(cut.failure, "Image data ends early");
  EXPECT_EQ(cut.rgba.size(), expected.size());  // what arrived is kept

  std::vector<uint8_t> damaged = stream;
  damaged[2] = 0xff;  // the first block's header: the reserved block type
  Decoded broken = decode(withIdat(damaged));
  EXPECT_EQ(broken.result, -1);
  EXPECT_EQ(broken.failure, "Image data does not inflate");
  Decoded badHeader = decode(withIdat({0x77, 0x9c, 0x01, 0x02}));
  EXPECT_EQ(badHeader.failure, "Image data does not inflate");

  Decoded noChecksum = decode(withIdat(std::vector<uint8_t>(stream.begin(), stream.end() - 4)));
  EXPECT_EQ(noChecksum.result, 1);
  EXPECT_EQ(noChecksum.rgba, expected);
  std::vector<uint8_t> noEnd = withIdat(stream);
  noEnd.resize(noEnd.size() - 12);  // no IEND chunk
  EXPECT_EQ(decode(noEnd).result, 1);
  EXPECT_EQ(decode(noEnd).failure, "");
}

// A header may claim up to 16384 pixels a side; data that cannot fill that
// many rows (DEFLATE makes at most 1032 bytes of one) fails before the
// picture's gigabyte is taken.
TEST(PngDecoder, DataTooShortForTheHeadersRowsFailsBeforeAllocating) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  w.literal(0);
  w.code(0, 7);
  PngBuilder png;
  png.header(16384, 16384, 8, 6);
  png.chunk("IDAT", w.bytes);
  png.chunk("IEND", {});
  const Decoded d = decode(png.bytes);
  EXPECT_EQ(d.result, -1);
  EXPECT_EQ(d.failure, "Image data ends early");
  EXPECT_EQ(d.width, 0u);
  EXPECT_TRUE(d.rgba.empty());
}

TEST(PngDecoder, CorruptedBytesStayInsideTheImage) {
  const std::vector<uint8_t> original = readFile(kDir + "pal4_adam7.png");
  for (size_t i = 8; i < original.size(); ++i)
    for (uint8_t v : {0x00, 0xff, 0x80, 0x07}) {
      std::vector<uint8_t> bytes = original;
      bytes[i] = v;
      const Decoded d = decode(bytes);
      ASSERT_TRUE(d.result == 1 || d.result == -1);
      ASSERT_LE(size_t{d.width} * d.height, 16384u * 16384u);
    }
  // An absurd header is refused before anything is allocated.
  PngBuilder png;
  png.header(100000, 100000, 8, 6);
  png.chunk("IEND", {});
  EXPECT_EQ(decode(png.bytes).width, 0u);
}

// ------------------------------------------------------------ the loader

TEST(PngLoader, EightBitFilesLoadAsRgbaBottomRowFirst) {
  for (const char* name : {"rgba8", "rgb8", "grey8", "ga8", "pal8_trns"}) {
    SCOPED_TRACE(name);
    Texture texture;
    ASSERT_TRUE(loadPNG(texture, (kDir + name + ".png").c_str()));
    EXPECT_EQ(texture.bpp, 32u);
    EXPECT_EQ(texture.format, GLenum(GL_RGBA));
    ASSERT_EQ(texture.width, 13u);
    ASSERT_EQ(texture.height, 11u);
    const std::vector<uint8_t> expected = readFile(kDir + name + ".rgba");
    const size_t stride = 13 * 4;
    for (uint32_t y = 0; y < 11; ++y)
      EXPECT_EQ(0, std::memcmp(texture.imageData + y * stride, expected.data() + (10 - y) * stride,
                               stride));
    std::free(texture.imageData);
    texture.imageData = nullptr;
  }
}

TEST(PngLoader, OtherDepthsAreRefusedWithAMessage) {
  setMessageBoxesEnabled(false);
  for (const char* name : {"rgb16_filters", "pal4", "grey1", "rgba16"}) {
    SCOPED_TRACE(name);
    Texture texture;
    EXPECT_FALSE(loadPNG(texture, (kDir + name + ".png").c_str()));
    const std::string err = takeNotesText();
    EXPECT_NE(err.find("ERROR at src/util/texture/png_loader.cpp:"), std::string::npos) << err;
    EXPECT_NE(err.find("Invalid texture information"), std::string::npos);
    EXPECT_EQ(texture.imageData, nullptr);
  }
}

TEST(PngLoader, ImageDataThatEndsEarlySaysSo) {
  setMessageBoxesEnabled(false);
  std::vector<uint8_t> bytes = readFile(kDir + "rgba8.png");
  bytes.resize(bytes.size() - 30);  // into the IDAT: a chunk that no longer fits is dropped
  Texture texture;
  EXPECT_FALSE(decodePNG(bytes.data(), bytes.size(), texture));
  const std::string err = takeNotesText();
  EXPECT_NE(err.find("ERROR at src/util/texture/png_loader.cpp:"), std::string::npos) << err;
  EXPECT_NE(err.find("Image data ends early"), std::string::npos) << err;
  EXPECT_EQ(texture.imageData, nullptr);
}

TEST(PngLoader, UnreadableFileFailsSilently) {
  setMessageBoxesEnabled(false);
  Texture texture;
  EXPECT_FALSE(loadPNG(texture, "tests/fixtures/png/no_such_file.png"));
  EXPECT_EQ(takeNotesText(), "");
  EXPECT_EQ(texture.imageData, nullptr);
}
