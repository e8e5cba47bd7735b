// TGA loader: uncompressed (type 2) and run-length encoded (type 10)
// true-colour images of 24 or 32 bits, nothing else.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/data/data.h"
#include "util/texture/image_loader.h"
#include "util/texture/texture.h"

namespace {

// The first 12 header bytes must match one of these exactly: no image ID, no
// colour map, origin 0,0.
const uint8_t kUncompressedHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kRleHeader[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Releases everything a failed decode holds and reports it.
bool fail(FILE* file, Texture& texture, const char* text) {
  loaderMessage("ERROR", text);
  std::fclose(file);
  std::free(texture.imageData);
  texture.imageData = nullptr;
  return false;
}

// Reads width, height and depth, checks them and allocates imageData.
// Returns the bytes per pixel, or 0 after its message.
uint32_t readInfo(FILE* file, Texture& texture, bool rle) {
  uint8_t info[6];
  if (std::fread(info, 1, sizeof info, file) != sizeof info) {
    loaderMessage("ERROR", "Could not read info header");
    std::fclose(file);
    return 0;
  }
  // The descriptor (info[5]) is ignored: rows are kept in file order, and
  // the usual bottom-up TGA is what OpenGL expects.
  uint32_t width = info[0] | info[1] << 8;
  uint32_t height = info[2] | info[3] << 8;
  uint32_t bits = info[4];
  if (!validImageSize(width, height) || (bits != 24 && bits != 32)) {
    loaderMessageAt(__FILE__, __LINE__, "Invalid texture information");
    std::fclose(file);
    return 0;
  }
  texture.width = width;
  texture.height = height;
  texture.bpp = bits;
  texture.format = bits == 24 ? GL_RGB : GL_RGBA;
  uint32_t bytesPerPixel = bits / 8;
  const size_t size = size_t{bytesPerPixel} * width * height;
  // An uncompressed file too short for the image it declares fails before
  // the image's memory is taken. (Run-length encoded data has no fixed size:
  // it fails with the run that is cut short.)
  const long left = bytesLeft(file);
  if (!rle && left >= 0 && size_t(left) < size) {
    loaderMessage("ERROR", "Could not read image data");
    std::fclose(file);
    return 0;
  }
  texture.imageData = static_cast<uint8_t*>(std::malloc(size));
  if (!texture.imageData) {
    loaderMessage("ERROR", "Could not allocate memory for image");
    std::fclose(file);
    return 0;
  }
  return bytesPerPixel;
}

bool loadUncompressed(FILE* file, Texture& texture) {
  uint32_t bytesPerPixel = readInfo(file, texture, false);
  if (bytesPerPixel == 0) return false;
  size_t size = size_t{bytesPerPixel} * texture.width * texture.height;
  if (std::fread(texture.imageData, 1, size, file) != size)
    return fail(file, texture, "Could not read image data");
  for (size_t i = 0; i < size; i += bytesPerPixel) {  // BGR(A) -> RGB(A)
    uint8_t blue = texture.imageData[i];
    texture.imageData[i] = texture.imageData[i + 2];
    texture.imageData[i + 2] = blue;
  }
  std::fclose(file);
  return true;
}

bool loadRle(FILE* file, Texture& texture) {
  uint32_t bytesPerPixel = readInfo(file, texture, true);
  if (bytesPerPixel == 0) return false;
  size_t pixelCount = size_t{texture.width} * texture.height;
  size_t done = 0;
  uint8_t color[4];
  uint8_t* out = texture.imageData;
  auto store = [&] {
    out[0] = color[2];
    out[1] = color[1];
    out[2] = color[0];
    if (bytesPerPixel == 4) out[3] = color[3];
    out += bytesPerPixel;
  };
  while (done < pixelCount) {
    int header = std::fgetc(file);
    if (header == EOF) return fail(file, texture, "Could not read RLE header");
    // Runs may cross rows but never the end of the image.
    size_t count = header < 128 ? header + 1 : header - 127;
    if (done + count > pixelCount) return fail(file, texture, "Too many pixels read");
    if (header < 128) {
      for (size_t i = 0; i < count; ++i) {
        if (std::fread(color, 1, bytesPerPixel, file) != bytesPerPixel)
          return fail(file, texture, "Could not read image data");
        store();
      }
    } else {
      if (std::fread(color, 1, bytesPerPixel, file) != bytesPerPixel)
        return fail(file, texture, "Could not read from file");
      for (size_t i = 0; i < count; ++i) store();
    }
    done += count;
  }
  std::fclose(file);
  return true;
}

}  // namespace

bool loadTGA(const char* fileName, Texture& texture) {
  FILE* file = dataFopen(fileName, "rb");
  if (!file) {
    loaderMessage("ERROR", "Could not open texture file");
    return false;
  }
  uint8_t header[12];
  if (std::fread(header, 1, sizeof header, file) != sizeof header) {
    loaderMessage("ERROR", "Could not read file header");
    std::fclose(file);
    return false;
  }
  if (std::memcmp(header, kUncompressedHeader, sizeof header) == 0)
    return loadUncompressed(file, texture);
  if (std::memcmp(header, kRleHeader, sizeof header) == 0) return loadRle(file, texture);
  loaderMessage("Invalid Image", "TGA file be type 2 or type 10");
  std::fclose(file);
  return false;
}
