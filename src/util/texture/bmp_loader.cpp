// BMP loader: uncompressed 24-bit Windows bitmaps only.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "util/data/data.h"
#include "util/texture/image_loader.h"
#include "util/texture/texture.h"

namespace {

enum BmpStatus {
  kBmpOk = 0,
  kBmpCannotOpen = 1,
  kBmpUnsupported = 2,
  kBmpSeekFailed = 3,
  kBmpEndOfFile = 4,
  kBmpBadSize = 5,  // zero or absurd dimensions: the front-end says so
};

int32_t le32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                              uint32_t{p[3]} << 24);
}

int le16(const uint8_t* p) { return p[0] | p[1] << 8; }

int readBmp(FILE* file, RgbRaster& raster) {
  // The file header, then a 40-byte info header (later versions only add to
  // it) and the 4 bytes after it.
  uint8_t fileHeader[14];
  uint8_t info[44];
  if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader ||
      std::fread(info, 1, sizeof info, file) != sizeof info)
    return kBmpEndOfFile;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M' || le32(info) < 40) return kBmpUnsupported;
  if (le16(info + 14) != 24 || le32(info + 16) != 0 ||
      (le32(info + 32) != 0 && le32(info + 36) != 0))
    return kBmpUnsupported;

  // A negative height means the rows are stored top-down.
  int64_t width = le32(info + 4);
  int64_t signedHeight = le32(info + 8);
  bool topDown = signedHeight < 0;
  int64_t height = topDown ? -signedHeight : signedHeight;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
    return kBmpBadSize;

  // Rows are padded to 4 bytes. A non-zero image size decides the filler as
  // it always has; 0 is allowed for uncompressed bitmaps and then, like any
  // size too small for the pixels, the padding rule alone counts.
  int64_t imageSize = static_cast<uint32_t>(le32(info + 20));
  int64_t rowBytes = width * 3;
  int64_t rowSkip = imageSize >= rowBytes * height ? (imageSize - rowBytes * height) / height
                                                   : (4 - rowBytes % 4) % 4;

  if (std::fseek(file, static_cast<uint32_t>(le32(fileHeader + 10)), SEEK_SET) != 0)
    return kBmpSeekFailed;
  // Every row and the filler between them must be in the file before the
  // raster is allocated: a header may claim any size.
  const long left = bytesLeft(file);
  if (left >= 0 && left < rowBytes * height + rowSkip * (height - 1)) return kBmpEndOfFile;
  if (!raster.resize(static_cast<uint32_t>(width), static_cast<uint32_t>(height)))
    return kBmpBadSize;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (int64_t i = 0; i < height; ++i) {
    uint32_t y = static_cast<uint32_t>(topDown ? i : height - 1 - i);
    if (std::fread(row.data(), 1, row.size(), file) != row.size()) return kBmpEndOfFile;
    for (uint32_t x = 0; x < width; ++x)
      raster.set(x, y, row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    // No skip after the last row: its filler may be missing at the end of the file.
    if (rowSkip != 0 && i + 1 < height && std::fseek(file, static_cast<long>(rowSkip), SEEK_CUR) != 0)
      return kBmpSeekFailed;
  }
  return kBmpOk;
}

}  // namespace

bool loadBMP(const char* fileName, Texture& texture) {
  FILE* file = dataFopen(fileName, "rb");
  if (!file) return false;
  RgbRaster raster;
  int status = readBmp(file, raster);
  std::fclose(file);
  if (status == kBmpBadSize) {
    loaderMessageAt(__FILE__, __LINE__, "Invalid texture information");
    return false;
  }
  if (status != kBmpOk) return false;  // unreadable or unsupported: no message of its own
  raster.handOver(texture);
  return true;
}
