#include "scenes/scene_train/train_timing.h"

#include <cmath>

#include "scenes/caption_timing.h"
#include "scenes/invitation.h"

namespace TrainTiming {

SegmentStep stepSegment(float beat, float segmentStart) {
  float t = beat - segmentStart;
  if (t > kSegmentBeats) return {true, segmentStart + kSegmentBeats, 0.0f};
  return {false, segmentStart, t};
}

unsigned cameraForSegment(int segment, unsigned current) {
  if (segment == 1) return 2;
  if (segment == 2) return 1;
  return current;
}

LookAt cameraPath(int camera, float t) {
  const float y = trainY(t);
  const float y0 = kTrackY + y;
  if (camera == 0) return {{5.0f, 0.7f * y + kTrackY - 70.0f, 5.0f}, {0.0f, y0, 0.0f}};
  const float p = std::cos(0.2f * t), q = std::sin(0.125f * t), r = std::sin(0.25f * t);
  if (camera == 1) return {{15.0f * r - 10.0f, y0 + q + 25.0f, 2.0f * p + 5.0f}, {-10.0f, y0, 0.0f}};
  return {{15.0f * r - 10.0f, y0 - 25.0f - q, 2.0f * p + 3.0f}, {-10.0f, y0, 0.0f}};
}

namespace {

// The beats into the scene at which the caption changes, and what follows.
constexpr float kSwitches[] = {48.0f, 66.0f, 84.0f, 102.0f, 120.0f, 138.0f};
const char* const kLines[] = {
    "Bring your own toys",
    Invitation::kMonthLine,
    "We'll make sure you are well-fed,",
    "that your diapers are always dry",
    "and that the bonfire never runs out of wood",
};

}  // namespace

const char* captionLine(float u) {
  const char* line = nullptr;
  for (int i = 0; i < 5; ++i)
    if (u >= kSwitches[i]) line = kLines[i];
  return u >= kSwitches[5] ? nullptr : line;
}

float captionAlpha(float u) { return ::captionAlpha(u, kSwitches); }

}  // namespace TrainTiming
