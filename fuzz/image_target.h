#pragma once
// What the JPEG, TGA and BMP targets share. Their loaders open the picture
// through dataFopen, which serves the fuzzer's input from memory here as the
// data index serves the archive. A failed load must leave no pixels behind
// (what the loader noted is dropped); a load that succeeds must note nothing
// and give a
// size the loaders allow, 24 or 32 bits with the matching format, and
// pixels that are all there (every byte is read, so AddressSanitizer sees a
// short buffer).
// Include in the target's one source file: it defines the stand-ins.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/error.h"
#include "util/texture/image_loader.h"
#include "util/texture/texture.h"

namespace image_target {

const uint8_t* input = nullptr;
size_t inputLength = 0;

void check(bool ok, const char* target, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
  }
}

// Loads the bytes as `load` does from the file "data/fuzz" and checks the
// outcome.
template <typename Loader>
void run(const uint8_t* bytes, size_t length, const char* target, Loader load) {
  input = bytes;
  inputLength = length;
  Texture texture;
  const bool loaded = load("data/fuzz", texture);
  const bool noted = !takeFailureNotes().empty();
  if (!loaded) {
    check(texture.imageData == nullptr, target, "a failed load left pixels");
    return;
  }
  check(!noted, target, "a load that succeeded noted a failure");
  check(texture.imageData != nullptr, target, "loaded without pixels");
  check(validImageSize(texture.width, texture.height), target, "size out of range");
  check((texture.bpp == 24 && texture.format == GL_RGB) ||
            (texture.bpp == 32 && texture.format == GL_RGBA),
        target, "depth and format do not match");
  const size_t size = size_t{texture.width} * texture.height * (texture.bpp / 8);
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i) sum += texture.imageData[i];
  // Keeps the reads from being optimised away.
  if (sum == 0xFFFFFFFFu) std::fputc('\n', stderr);
}

}  // namespace image_target

// The file access layer: every open gets a read-only stream over the input
// (an empty input over a byte of its own, as the data index does it).
FILE* dataFopen(const char*, const char*) {
  static uint8_t nothing;
  void* bytes = image_target::inputLength
                    ? const_cast<uint8_t*>(image_target::input)
                    : static_cast<void*>(&nothing);
  return fmemopen(bytes, image_target::inputLength, "rb");
}

// The texture frees what a loader gave it.
Texture::~Texture() { std::free(imageData); }
