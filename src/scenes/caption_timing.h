#pragma once
// The fade rule of caption lines that change on given beats: a line is
// invisible exactly at a change and back to opaque 1.2 beats from it. The
// first change in the table that lies within 1.2 beats sets the alpha.
#include <cmath>
#include <cstddef>

inline float captionAlpha(float u, const float* switches, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    float d = std::fabs(switches[i] - u);
    if (d < 1.2f) return d * 0.8333333f;
  }
  return 1.0f;
}

template <size_t N>
float captionAlpha(float u, const float (&switches)[N]) {
  return captionAlpha(u, switches, N);
}
