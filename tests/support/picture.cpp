#include "picture.h"

#include <cstdlib>

#include <stb/stb_image.h>  // the implementation is in libstb

Picture readPng(const std::string& path) {
  Picture picture;
  int channels = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
  if (pixels) {
    picture.rgb.assign(pixels, pixels + static_cast<size_t>(picture.width) * picture.height * 3);
    stbi_image_free(pixels);
  }
  return picture;
}

double Picture::mean(double x0, double y0, double x1, double y1) const {
  double sum = 0;
  int n = each(x0, y0, x1, y1, [&](const unsigned char* p) { sum += (p[0] + p[1] + p[2]) / 3.0; });
  return n ? sum / n : 0.0;
}

namespace {
bool comparable(const Picture& a, const Picture& b) {
  return !a.rgb.empty() && a.rgb.size() == b.rgb.size();
}
}  // namespace

double meanDifference(const Picture& a, const Picture& b) {
  if (!comparable(a, b)) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
  return sum / static_cast<double>(a.rgb.size());
}

int largestDifference(const Picture& a, const Picture& b) {
  if (!comparable(a, b)) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) worst = std::max(worst, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
  return worst;
}

double differingShare(const Picture& a, const Picture& b) {
  if (!comparable(a, b)) return 1.0;
  size_t differing = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) differing += a.rgb[i] != b.rgb[i];
  return static_cast<double>(differing) / static_cast<double>(a.rgb.size());
}
