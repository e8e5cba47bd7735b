// The PNG front-end of the texture loaders: the engine's own decoder, rows
// flipped for OpenGL, only 8-bit samples accepted.
#include "util/texture/image_loader.h"
#include "util/texture/png_decoder.h"
#include "util/texture/texture.h"

namespace {

bool handOver(QxRawPngDecoder& decoder, Texture& texture) {
  decoder.flipRows();
  const uint32_t bpp = 4 * uint32_t(decoder.bitDepth);
  if (decoder.imageWidth == 0 || decoder.imageHeight == 0 || (bpp != 24 && bpp != 32)) {
    loaderMessageAt(__FILE__, __LINE__, "Invalid texture information");
    return false;
  }
  texture.width = decoder.imageWidth;
  texture.height = decoder.imageHeight;
  texture.bpp = bpp;
  texture.format = GL_RGBA;
  // The decoder's buffer becomes the texture's; create frees it after the upload.
  texture.imageData = decoder.pixels;
  decoder.ownsPixels = 0;
  return true;
}

// A file that is not there says nothing of its own (the caller reports it);
// any other failure says why.
bool decoded(int result, const QxRawPngDecoder& decoder, int line) {
  if (result == 1) return true;
  if (decoder.failure && decoder.failure != QxRawPngDecoder::kCannotOpen)
    loaderMessageAt(__FILE__, line, decoder.failure);
  return false;
}

}  // namespace

bool loadPNG(Texture& texture, const char* fileName) {
  QxRawPngDecoder decoder;
  return decoded(decoder.decodeFile(fileName), decoder, __LINE__) && handOver(decoder, texture);
}

bool decodePNG(const uint8_t* bytes, size_t size, Texture& texture) {
  QxRawPngDecoder decoder;
  return decoded(decoder.decodeMemory(bytes, size), decoder, __LINE__) && handOver(decoder, texture);
}
