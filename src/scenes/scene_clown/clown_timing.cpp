#include "scenes/scene_clown/clown_timing.h"

#include "scenes/caption_timing.h"
#include "scenes/invitation.h"

namespace ClownTiming {

bool bellsFrom(const std::vector<float>& noteOns, Bells& out) {
  if (noteOns.size() < kBodyParts + kRings) return false;
  for (size_t i = 0; i < kBodyParts; ++i) out.body[i] = noteOns[i];
  const size_t firstRing = noteOns.size() - kRings;
  for (int k = 0; k < kRings; ++k) out.rings[k] = noteOns[firstRing + static_cast<size_t>(k)];
  return true;
}

CameraBlend cameraBlend(float t, const Bells& bells, float start) {
  const float seventhBell = bells.body[kBodyParts - 1];
  if (t < seventhBell) {
    const float span = seventhBell - start;
    return {1, 3, span > 0.0f ? (t - start) / span : 1.0f};
  }
  const float firstRing = bells.rings[0], thirdRing = bells.rings[2], lastRing = bells.rings[kRings - 1];
  const float turn = firstRing - 1.0f;
  if (t < firstRing) return {3, 0, t < turn ? 0.0f : t - turn};
  if (t < lastRing) return {0, 4, t < thirdRing ? 0.0f : (t - thirdRing) / (lastRing - thirdRing)};
  return {0, 4, 1.0f};
}

float bodyDrop(float bell, float t) {
  if (bell < t) return 0.0f;
  const float d = bell - t;
  return d < 1.75f ? 100.0f * d / 1.75f : 100.0f;
}

RingPose ringPose(int k, float ringBeat, float t, float turn) {
  const float K = ringBeat;
  const float rest = kFloorZ + kRingThickness * static_cast<float>(k);
  if (t > K) return {true, rest, 0.0f, turn};
  const float f = K - t;  // beats still to fall
  if (f >= 1.0f) return {false, 0.0f, 0.0f, turn};
  return {true, rest + 100.0f * f, 35.0f * f, turn + 360.0f * f};
}

float firstShakeReach(float t, float seventhBell) {
  const float after = t - seventhBell;
  return after > 0.0f && after < 0.2f ? 0.2f - after : 0.0f;
}

float ringShakeReach(float t, float ringBeat) {
  const float after = t - ringBeat;
  return after > 0.0f && after < 0.3f ? 0.3f - after : 0.0f;
}

namespace {

constexpr float kSwitches[] = {12.0f, 24.0f, 36.0f, 42.0f, 48.0f, 54.0f, 60.0f, 66.0f, 72.0f};
static_assert(sizeof kSwitches / sizeof kSwitches[0] == sizeof Invitation::kCredits / sizeof Invitation::kCredits[0] + 1,
              "one credit between each two changes");

const Invitation::Credit* creditAt(float u) {
  const Invitation::Credit* shown = nullptr;
  for (size_t i = 0; i + 1 < sizeof kSwitches / sizeof kSwitches[0]; ++i)
    if (u >= kSwitches[i] && u < kSwitches[i + 1]) shown = &Invitation::kCredits[i];
  return shown;
}

}  // namespace

const char* creditRole(float u) {
  const Invitation::Credit* credit = creditAt(u);
  return credit ? credit->role : nullptr;
}

const char* creditHandle(float u) {
  const Invitation::Credit* credit = creditAt(u);
  return credit ? credit->handle : nullptr;
}

float creditAlpha(float u) { return captionAlpha(u, kSwitches); }

}  // namespace ClownTiming
