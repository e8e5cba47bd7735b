// libFuzzer target for the PNG decoder: chunk reader, inflater and raster
// stage on arbitrary bytes. Three decodes of every input must agree exactly:
// the lookup-table Huffman decoder, the bit-by-bit reference, and the raster
// stage fed one byte at a time instead of in runs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/texture/png_decoder.h"

// The decoder opens files through the data layer; only memory is fuzzed.
FILE* dataFopen(const char* path, const char* mode) { return std::fopen(path, mode); }

namespace {

// Sends every byte through outputByte on its own.
class BytewiseDecoder : public QxRawPngDecoder {
 public:
  int outputBytes(const uint8_t* bytes, size_t count) override {
    return QxGenericPngDecoder::outputBytes(bytes, count);
  }
};

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_png: %s\n", what);
    std::abort();
  }
}

std::vector<uint8_t> run(QxRawPngDecoder& decoder, const uint8_t* data, size_t size, int& result) {
  result = decoder.decodeMemory(data, size);
  if (!decoder.pixels) return {};
  return std::vector<uint8_t>(decoder.pixels,
                              decoder.pixels + size_t{decoder.imageWidth} * decoder.imageHeight * 4);
}

}  // namespace

// Sizes up to 16384 a side are legal; the decoder's buffer for those is
// mostly untouched pages, but three decodes and their copies are not.
constexpr uint64_t kCompareLimit = uint64_t{1} << 22;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 24) {
    const uint64_t w = uint64_t(data[16]) << 24 | data[17] << 16 | data[18] << 8 | data[19];
    const uint64_t h = uint64_t(data[20]) << 24 | data[21] << 16 | data[22] << 8 | data[23];
    if (w * h > kCompareLimit) {
      QxRawPngDecoder decoder;
      check(std::abs(decoder.decodeMemory(data, size)) == 1, "result neither 1 nor -1");
      return 0;
    }
  }
  int r1, r2, r3;
  QxRawPngDecoder table;
  const std::vector<uint8_t> a = run(table, data, size, r1);
  QxRawPngDecoder bitwise;
  bitwise.bitwiseHuffman = true;
  const std::vector<uint8_t> b = run(bitwise, data, size, r2);
  BytewiseDecoder bytewise;
  const std::vector<uint8_t> c = run(bytewise, data, size, r3);
  check(r1 == 1 || r1 == -1, "result neither 1 nor -1");
  check(r1 == r2 && r1 == r3, "the decoders disagree on the result");
  check(table.imageWidth == bitwise.imageWidth && table.imageHeight == bitwise.imageHeight,
        "the decoders disagree on the size");
  check(a == b, "table and bitwise Huffman decoding disagree");
  check(a == c, "run and byte-at-a-time raster stages disagree");
  if (table.pixels) table.flipRows();
  return 0;
}
