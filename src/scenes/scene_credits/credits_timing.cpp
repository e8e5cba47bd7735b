#include "scenes/scene_credits/credits_timing.h"

#include <algorithm>
#include <cmath>

#include "scenes/invitation.h"
#include "util/error.h"
#include "util/letterbox.h"

namespace CreditsTiming {

namespace {

struct LayerMotion {
  float x0;     // left edge at beat 0
  float drift;  // per beat, leftward
  float y;
  float height;
  float colour[4];
};

// Back to front: the far single tree, two tree lines, the heights and the
// two near layers, each darker than the one behind it (the haze of the
// rain lightens what is far away). The nearest barely moves.
const LayerMotion kLayers[kLayerCount] = {
    {0.6f, 0.0021f, 0.1f, 0.5f, {0.16f, 0.16f, 0.16f, 1.0f}},
    {0.7f, 0.0019f, 0.2f, 0.5f, {0.14f, 0.14f, 0.14f, 1.0f}},
    {0.9f, 0.00175f, 0.3f, 0.5f, {0.12f, 0.12f, 0.12f, 1.0f}},
    {0.0f, 0.0015f, 0.25f, 0.5f, {0.08f, 0.08f, 0.08f, 1.0f}},
    {0.0f, 0.001f, -0.5f, 1.5f, {0.04f, 0.04f, 0.04f, 1.0f}},
    {0.0f, 0.0001f, -0.3f, 1.5f, {0.0f, 0.0f, 0.0f, 1.0f}},
};

const RainWindow kRainSpeeds[kRainSheets] = {
    {5.0f, 0.1f, 5.0f},
    {8.0f, -0.054644812f, 3.5f},
    {15.0f, 0.032258064f, 2.0f},
};

constexpr float kBlinkBeats = 1.2f;

}  // namespace

LayerPlacement layerPlacement(int layer, float beat) {
  const LayerMotion& m = kLayers[layer];
  return {m.x0 - m.drift * beat, m.y, m.height};
}

float pictureWidth(float height, float imageAspect) { return height * imageAspect / kPictureAspect; }

const float* layerBaseColour(int layer) { return kLayers[layer].colour; }

float skyDaylight(float beat) {
  if (beat <= kDawnBeat) return 0.0f;
  return std::min((beat - kDawnBeat) / 18.0f, 1.0f);
}

float greenTint(float beat) {
  if (beat <= kDawnBeat) return 0.0f;
  return std::min((beat - kDawnBeat) / 90.0f, 0.3f);
}

bool rainShown(float beat) { return beat <= kLastBeat; }

float rainAlpha(float beat) {
  if (beat <= kDawnBeat) return 0.5f;
  return (kLastBeat - beat) / 36.0f;
}

RainWindow rainWindow(int sheet, float beat) {
  const RainWindow& speed = kRainSpeeds[sheet];
  return {speed.size, speed.s * beat, speed.t * beat};
}

Flash flash(const std::vector<float>& lightningBeats, float beat) {
  for (size_t i = 0; i < lightningBeats.size(); ++i) {
    float distance = std::fabs(lightningBeats[i] - beat);
    if (distance < 0.5f) return {static_cast<int>(i % kPhotoCount), 1.0f - distance};
  }
  return {static_cast<int>(lightningBeats.size() % kPhotoCount), 0.0f};
}

void cueBeats(const std::vector<float>& lightningBeats, float cues[kCueCount]) {
  if (lightningBeats.size() < 4)
    FATAL("The \"Lightning\" track has %u flashes; the credits' cues need at least 4",
          static_cast<unsigned>(lightningBeats.size()));
  const float fixed[] = {kFirstTextBeat, 51.0f, 60.0f, 72.0f, 84.0f, 102.0f};
  cues[0] = lightningBeats[0];
  cues[1] = lightningBeats[3];
  std::copy(std::begin(fixed), std::end(fixed), cues + 2);
}

float cueAlpha(const float cues[kCueCount], float beat) {
  for (int i = 0; i < kCueCount; ++i) {
    float distance = std::fabs(cues[i] - beat);
    if (distance <= kBlinkBeats) return distance / kBlinkBeats;
  }
  return 1.0f;
}

int items(const float cues[kCueCount], float beat, Item out[kMaxItems]) {
  using namespace Invitation;
  const float blink = cueAlpha(cues, beat);
  const float nameX = 0.3f, nameY = 0.45f;
  const float datesX = nameX - 0.005f, datesY = nameY - 0.25f;
  int n = 0;
  auto text = [&](const char* line, float x, float y, float alpha) {
    out[n++] = {Item::Text, line, x, y, alpha};
  };
  if (beat < cues[0]) {
  } else if (beat < cues[1]) {
    out[n++] = {Item::GroupLogo, nullptr, 0, 0, blink};
  } else if (beat < kFirstTextBeat) {
    out[n++] = {Item::PartnerLogo, nullptr, 0, 0, blink};
  } else if (beat < 51.0f) {
    text(kEventLine, 0.21f, nameY, blink);
  } else if (beat < 60.0f) {
    text(kInviteLine, 0.04f, nameY, blink);
  } else if (beat < 70.8f) {
    text(kPartyFirstWord, nameX, nameY, blink);
  } else if (beat < 72.0f) {
    text(kPartyFirstWord, nameX, nameY, 1.0f);
  } else if (beat < 82.8f) {
    text(kPartyName, nameX, nameY, blink);
    text(kPartyFirstWord, nameX, nameY, 1.0f);
  } else if (beat < 84.0f) {
    text(kPartyName, nameX, nameY, 1.0f);
  } else if (beat < 100.8f) {
    text(kPartyName, nameX, nameY, 1.0f);
    text(kDatesLine, datesX, datesY, blink);
  } else if (beat < 102.0f) {
    text(kPartyName, nameX, nameY, blink);
    text(kDatesLine, datesX, datesY, blink);
  }
  return n;
}

}  // namespace CreditsTiming
