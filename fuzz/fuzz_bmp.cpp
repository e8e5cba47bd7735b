// libFuzzer target: arbitrary bytes as a BMP file through loadBMP, the file
// served from memory (image_target.h says what must hold).
// Built with -DBMP_FUZZ_SEEDS instead, it writes a few valid bitmaps into
// the directory named on its command line: bottom-up and top-down, padded
// rows, an image size with extra filler, pixels after a gap, a version 4
// header.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifndef BMP_FUZZ_SEEDS

#include "image_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  image_target::run(bytes, length, "fuzz_bmp", loadBMP);
  return 0;
}

#else

#include "seed_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

void le32(Bytes& out, int64_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A 24-bit bitmap: infoSize 40 or 108, `gap` bytes between the headers and
// the pixels, each row followed by `filler` bytes.
Bytes bitmap(int width, int height, uint32_t infoSize, int gap, int filler, uint32_t imageSize) {
  const int rows = height < 0 ? -height : height;
  const uint32_t offset = 14 + infoSize + gap;
  Bytes out{'B', 'M'};
  le32(out, offset + int64_t(width * 3 + filler) * rows);
  le32(out, 0);
  le32(out, offset);
  le32(out, infoSize);
  le32(out, width);
  le32(out, height);
  out.push_back(1), out.push_back(0);   // planes
  out.push_back(24), out.push_back(0);  // bits
  le32(out, 0);                         // no compression
  le32(out, imageSize);
  for (int i = 0; i < 4; ++i) le32(out, i == 0 ? 2835 : i == 1 ? 2835 : 0);
  out.resize(14 + infoSize + gap, 0);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width * 3; ++x) out.push_back(uint8_t(x * 31 + y * 17));
    out.insert(out.end(), size_t(filler), 0);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  writeSeed(dir + "/bottom_up.bmp", bitmap(3, 2, 40, 0, 3, 0));
  writeSeed(dir + "/top_down.bmp", bitmap(4, -3, 40, 0, 0, 0));
  writeSeed(dir + "/sized_filler.bmp", bitmap(2, 2, 40, 0, 6, (2 * 3 + 6) * 2));
  writeSeed(dir + "/gap.bmp", bitmap(1, 1, 40, 20, 1, 0));
  writeSeed(dir + "/v4_header.bmp", bitmap(5, 2, 108, 0, 1, 0));
  return 0;
}

#endif
