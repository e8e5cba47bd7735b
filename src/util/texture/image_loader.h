#pragma once
// What the image loaders share: their messages, the size limit and the
// RGB raster that the BMP and JPEG readers fill.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/error.h"
#include "util/texture/texture.h"

// Larger than any picture of the show and any texture a card takes; a header
// claiming more is broken, and refusing it keeps a bad file from allocating
// gigabytes.
constexpr uint32_t kMaxImageSide = 16384;

// A loader's reason for failing, in its own caption ("ERROR", ...). It
// rides with the failure that its caller reports (util/error.h); a caller
// that goes on after the false result takes it (takeFailureNotes).
inline void loaderMessage(const char* caption, const char* text) { noteFailure(caption, text); }

// The message captioned with the reporting source line.
inline void loaderMessageAt(const char* file, int line, const char* text) {
  char caption[512];
  std::snprintf(caption, sizeof caption, "ERROR at %s:%i", file, line);
  loaderMessage(caption, text);
}

// The bytes from the stream's position to its end (the position kept), or
// -1 when it cannot tell. A loader whose format fixes the size of its data
// checks it against this before allocating: a header may claim any size.
inline long bytesLeft(FILE* file) {
  const long at = std::ftell(file);
  if (at < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file);
  if (std::fseek(file, at, SEEK_SET) != 0) return -1;
  return end > at ? end - at : 0;  // a position past the end has nothing left
}

inline bool validImageSize(uint32_t width, uint32_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

// The RGB raster of the BMP and JPEG readers, addressed with row 0 at the
// top. It is stored straight away as the texture wants it (RGBA with A = 255,
// bottom row first), so handing it over needs no second copy.
class RgbRaster {
 public:
  RgbRaster() = default;
  ~RgbRaster() { std::free(pixels_); }
  RgbRaster(const RgbRaster&) = delete;
  RgbRaster& operator=(const RgbRaster&) = delete;

  // Releases any previous block. False for an invalid size or no memory.
  bool resize(uint32_t width, uint32_t height) {
    std::free(pixels_);
    pixels_ = nullptr;
    width_ = height_ = 0;
    if (!validImageSize(width, height)) return false;
    pixels_ = static_cast<uint8_t*>(std::malloc(size_t{width} * height * 4));
    if (!pixels_) return false;
    width_ = width;
    height_ = height;
    return true;
  }

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

  // Row y counted from the top; x in 0..width-1.
  void set(uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = pixels_ + (size_t{height_ - 1 - y} * width_ + x) * 4;
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = 255;
  }

  // Gives the pixels to the texture as a 32-bit RGBA image.
  void handOver(Texture& texture) {
    texture.width = width_;
    texture.height = height_;
    texture.bpp = 32;
    texture.format = GL_RGBA;
    texture.imageData = pixels_;
    pixels_ = nullptr;
    width_ = height_ = 0;
  }

 private:
  uint8_t* pixels_ = nullptr;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
};
