#include "util/ascii/asciiengine.h"

namespace {

// The classic text-mode colours.
const float kPalette[16][3] = {
    {0, 0, 0},          {0, 0, 0.5f},   {0, 0.5f, 0},   {0, 0.5f, 0.5f},
    {0.5f, 0, 0},       {0.5f, 0, 0.5f}, {0.5f, 0.5f, 0}, {0.75f, 0.75f, 0.75f},
    {0.5f, 0.5f, 0.5f}, {0, 0, 1},      {0, 1, 0},      {0, 1, 1},
    {1, 0, 0},          {1, 0, 1},      {1, 1, 0},      {1, 1, 1},
};

}  // namespace

AsciiEngine::AsciiEngine() {
  chart.load("data/common/images/asciichart.png", false, false, GL_NEAREST, GL_NEAREST);
  for (int i = 0; i < 16; ++i) {
    for (int c = 0; c < 3; ++c) palette[i][c] = kPalette[i][c];
    palette[i][3] = 1.0f;
  }
}
