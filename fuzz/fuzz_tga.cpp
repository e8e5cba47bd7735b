// libFuzzer target: arbitrary bytes as a TGA file through loadTGA, the file
// served from memory (image_target.h says what must hold).
// Built with -DTGA_FUZZ_SEEDS instead, it writes a few valid pictures of
// both kinds and depths into the directory named on its command line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifndef TGA_FUZZ_SEEDS

#include "image_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  image_target::run(bytes, length, "fuzz_tga", loadTGA);
  return 0;
}

#else

#include "seed_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes header(uint8_t type, int width, int height, int bits) {
  return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
          uint8_t(height), uint8_t(height >> 8), uint8_t(bits), 0};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);

  Bytes plain24 = header(2, 3, 2, 24);
  for (int i = 0; i < 3 * 2 * 3; ++i) plain24.push_back(uint8_t(i * 13));
  writeSeed(dir + "/plain24.tga", plain24);

  Bytes plain32 = header(2, 2, 2, 32);
  for (int i = 0; i < 2 * 2 * 4; ++i) plain32.push_back(uint8_t(255 - i * 7));
  writeSeed(dir + "/plain32.tga", plain32);

  // Raw and repeated packets, one run crossing a row.
  Bytes rle24 = header(10, 4, 2, 24);
  for (int b : {0x01, 10, 20, 30, 40, 50, 60, 0x84, 1, 2, 3, 0x00, 9, 9, 9}) rle24.push_back(uint8_t(b));
  writeSeed(dir + "/rle24.tga", rle24);

  Bytes rle32 = header(10, 3, 3, 32);
  for (int b : {0x88, 5, 6, 7, 8}) rle32.push_back(uint8_t(b));
  writeSeed(dir + "/rle32.tga", rle32);
  return 0;
}

#endif
