#pragma once
// The show's picture is 16:9 and always spans the full window width: a
// taller window gets black bands above and below, a wider one a viewport
// taller than the window whose top and bottom are cut off.

struct Viewport {
  int x;
  int y;
  int width;
  int height;
};

constexpr float kPictureAspect = 16.0f / 9.0f;

inline Viewport letterbox(int width, int height) {
  int pictureHeight = static_cast<int>(width * 0.5625);  // truncated toward zero
  return {0, (height - pictureHeight) / 2, width, pictureHeight};
}
