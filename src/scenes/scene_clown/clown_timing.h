#pragma once
// The clown scene's timetable: what its picture holds at a beat, as pure
// functions. Times named t are show beats; u are beats into the scene.
//
// The clown's seven body parts fall onto its pole during the 1.75 beats
// before each of the first seven "KlovneRinger" bells. Twelve loose rings
// follow on a fixed table of beats from 330 on, each falling for the beat
// before its own and coming to rest on the stack around the figure's foot.
// Camera 2 is the one drawn; it glides between the others.
#include <cstddef>

namespace ClownTiming {

// The bells the timetable needs: the seventh is the last body part.
constexpr size_t kBodyParts = 7;

// Camera 2 := blend(from, to, u).
struct CameraBlend {
  int from, to;
  float u;
};
// `seventhBell` is the seventh bell's beat, `start` the scene's first beat.
CameraBlend cameraBlend(float t, float seventhBell, float start);

// How high above its place a body part hangs at t, its bell at `bell`:
// 100 until 1.75 beats before the bell, then falling straight down, and
// 0 once the bell lies before t.
float bodyDrop(float bell, float t);

// The loose rings' beats, in pairs four beats apart.
constexpr int kRings = 12;
constexpr float kRingBeats[kRings] = {330.0f, 330.2f, 334.0f, 334.2f, 338.0f, 338.2f,
                                      342.0f, 342.2f, 346.0f, 346.2f, 350.0f, 350.2f};
// A ring's height in the model's units (the floor at 0.5, each landed ring
// on the one before it).
constexpr float kFloorZ = 0.5f;
constexpr float kRingThickness = 0.55f;

// Where ring k is drawn at t: hidden until the beat before its own, then
// falling from 100 above its resting place, spinning one turn and levelling
// out from a tilt as it comes down, and from its beat on at rest, turned by
// `turn` degrees about the vertical.
struct RingPose {
  bool shown;
  float height;  // of the ring's underside
  float tilt;    // degrees about the model's x axis, after the spin
  float spin;    // degrees about the vertical
};
RingPose ringPose(int k, float t, float turn);

// The camera shakes' random offset: uniform in [-o, o] for a fraction in
// [0, 1] of the generator's range.
inline float shakeOffset(float o, float fraction) { return -o + 2.0f * o * fraction; }
// How far the first shake (after the seventh bell) and a landed ring's
// shake reach at t; 0 outside their windows of 0.2 and 0.3 beats.
float firstShakeReach(float t, float seventhBell);
float ringShakeReach(float t, float ringBeat);

// The credits u beats into the scene: a role and its maker's handle, null
// before 12 and from 72; both lines share one alpha, 0 at each change and
// back to 1 over 1.2 beats.
const char* creditRole(float u);
const char* creditHandle(float u);
float creditAlpha(float u);

}  // namespace ClownTiming
