#pragma once
// AsciiEngine: a text-mode screen model, a character chart (16 x 16 glyphs
// of code page 437), a cell buffer and the 16-colour palette. The Demo makes
// one while loading, hands it to every scene and keeps it told of the
// drawing size.
#include <cstdint>

#include "util/texture/texture.h"

class AsciiEngine {
 public:
  static constexpr int kCells = 12000;

  // Loads the chart (nearest filtering, no mipmaps, clamped); a missing
  // chart is fatal.
  AsciiEngine();

  Texture chart;
  uint8_t cells[kCells] = {};
  float palette[16][4];
  int32_t screenWidth = 1;
  int32_t screenHeight = 1;
};
