#include "scenes/scene_dadezaruv/dadezaruv_timing.h"

#include <algorithm>
#include <cmath>

#include "scenes/caption_timing.h"
#include "scenes/invitation.h"

namespace RobotsTiming {

namespace {

constexpr float kPi = 3.14159265358979f;

// During "Gabber" the banjo robot plays twice as fast.
bool gabber(float u) { return u > 72.0f && u < 84.0f; }

// A blend that holds its first camera until `hold`, then moves over a beat.
float afterHold(float u, float hold) { return u < hold ? 0.0f : u - hold; }

constexpr float kSwitches[] = {0.0f, 12.0f, 24.0f, 36.0f, 48.0f, 60.0f, 72.0f, 84.0f, 96.0f};

}  // namespace

CameraStep cameraStep(float u) {
  if (u < 12.0f) return {true, 0, 0, 0.0f};
  if (u < 36.0f) return {false, 0, 2, afterHold(u, 35.0f)};
  if (u < 48.0f) return {false, 2, 1, afterHold(u, 47.0f)};
  if (u < 84.0f) return {false, 1, 3, afterHold(u, 83.0f)};
  return {false, 1, 3, 1.0f};
}

LookAt robotCamera(float u) {
  return {{5.0f + std::sin(u), -2.0f + std::cos(u), 7.0f}, {-1.0f, 1.0f, 3.0f}};
}

LookAt cameraBotCamera(float u, const float at[3]) {
  return {{at[0] + std::sin(u), at[1] - 10.0f + std::cos(u), at[2] + 5.0f}, {at[0], at[1], at[2] + 3.0f}};
}

LookAt banjoBotCamera(float u, const float at[3]) {
  return {{at[0] + std::sin(u), at[1] + 10.0f + std::cos(u), at[2] + 5.0f}, {at[0], at[1], at[2] + 3.0f}};
}

LookAt painterCamera(float u, const float at[3]) {
  return {{at[0] - 10.0f + std::sin(0.5f * u), at[1] + std::cos(0.5f * u), at[2] - 5.0f},
          {at[0], at[1], at[2] - 10.0f}};
}

PainterPose painterPose(float u, float travel) {
  const float theta = 0.5f * u * kPi / 2.0f + kPi;
  const float s = std::sin(theta), c = std::cos(theta);
  return {{-35.0f - travel - 6.0f * s, -6.0f * c, 0.0f},
          {-35.0f - travel - 6.9f * s, -6.9f * c, 0.0f},
          -90.0f * 0.5f * u};
}

Texel brushTexel(float bx, float by) {
  auto texel = [](float relative) {
    const int at = static_cast<int>(static_cast<float>(kCanvasSize) * (0.5f + 0.025f * relative));
    return std::clamp(at, 0, kCanvasSize - kBrushSize);
  };
  return {texel(bx - kCanvasCentreX), texel(by)};
}

float robotNod(float t) { return 10.0f * std::sin(kPi * t); }

float cameraBotSwing(float t) { return 30.0f * (std::sin(kPi * t) + 1.0f); }

float cameraBotHold(float u) { return u < 90.0f ? 30.0f : 30.0f - (u - 90.0f) * 32.0f / 6.0f; }

float banjoHead(float t, float u) {
  return gabber(u) ? 30.0f * std::sin(2.0f * kPi * t) : 15.0f * std::sin(kPi * t);
}

float banjoStrum(float t, float u) {
  return gabber(u) ? 20.0f * std::sin(2.0f * kPi * t - kPi) : 20.0f * std::sin(kPi * t - kPi);
}

float lampRed(float t) { return (std::sin(2.0f * kPi * t) + 1.0f) * 0.5f; }

const char* category(float u) {
  const char* shown = nullptr;
  for (int i = 0; i < 9; ++i)
    if (u >= kSwitches[i]) shown = Invitation::kCategories[i];
  return shown;
}

float categoryAlpha(float u) { return captionAlpha(u, kSwitches); }

}  // namespace RobotsTiming
