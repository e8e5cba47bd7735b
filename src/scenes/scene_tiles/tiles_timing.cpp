#include "scenes/scene_tiles/tiles_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "scenes/caption_timing.h"

namespace TilesTiming {

float randomRange(float a, float b) {
  // rand() / RAND_MAX: the fixed 1 / 32767 of a 15-bit generator would put
  // glibc's 31-bit values tens of thousands of ranges away.
  return a + static_cast<float>(static_cast<double>(std::rand()) / RAND_MAX) * (b - a);
}

void tilePosition(const float start[3], const float target[3], float arrival, float t,
                  float out[3]) {
  float u = arrival > 0.0f ? t / arrival : 1.0f;
  if (u > 1.0f) u = 1.0f;
  for (int i = 0; i < 3; ++i) out[i] = u * target[i] + (1.0f - u) * start[i];
}

std::vector<int> placesByArrival(const std::vector<float>& arrivals) {
  std::vector<size_t> order(arrivals.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return arrivals[a] < arrivals[b]; });
  std::vector<int> places(arrivals.size());
  for (size_t place = 0; place < order.size(); ++place) places[order[place]] = static_cast<int>(place);
  return places;
}

float foldAngle(float t) {
  if (t > kFoldEnd) return 90.0f;
  if (t > kFlyInEnd) return (t - kFlyInEnd) / (kFoldEnd - kFlyInEnd) * 90.0f;
  return 0.0f;
}

float showerHeadZ(float t) {
  if (t < kFlyInEnd) return 300.0f;
  const float descent = (kFoldEnd - kFlyInEnd) * 0.5f;  // 18 beats
  if (t < kFlyInEnd + descent) return 300.0f - (t - kFlyInEnd) / descent * 283.0f;
  return 17.0f;
}

CameraBlend cameraBlend(float t) {
  if (t < kFlyInEnd) return {1, 2, t > 0.0f ? t / kFlyInEnd : 0.0f};
  return {2, 4, t > kFlyInEnd ? (t - kFlyInEnd) / (kFoldEnd - kFlyInEnd) : 0.0f};
}

bool captionShown(float t) { return t >= 6.0f && t < 90.0f; }

float captionAlpha(float t) {
  static constexpr float kSwitches[] = {6.0f, 90.0f, 96.0f};
  return ::captionAlpha(t, kSwitches);
}

}  // namespace TilesTiming
