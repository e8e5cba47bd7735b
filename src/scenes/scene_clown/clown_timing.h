#pragma once
// The clown scene's timetable: what its picture holds at a beat, as pure
// functions. Times named t are show beats; u are beats into the scene.
//
// The clown's seven body parts fall onto its pole during the 1.75 beats
// before each of the first seven "KlovneRinger" bells. Twelve loose rings
// follow on the track's last twelve bells (in pairs four beats apart), each
// falling for the beat before its own and coming to rest on the stack
// around the figure's foot. Camera 2 is the one drawn; it glides between
// the others. Every beat of the scene's choreography is a bell of the
// soundtrack or counted from the scene's first beat, so it moves with its
// slot.
#include <cstddef>
#include <vector>

namespace ClownTiming {

constexpr size_t kBodyParts = 7;
constexpr int kRings = 12;

// The "KlovneRinger" bells as the scene uses them.
struct Bells {
  float body[kBodyParts];  // the first seven: one body part each
  float rings[kRings];     // the last twelve: one loose ring each
};
// From the track's note-on beats, in order; false when there are fewer than
// the parts and the rings need (or the two would share a bell).
bool bellsFrom(const std::vector<float>& noteOns, Bells& out);

// Camera 2 := blend(from, to, u).
struct CameraBlend {
  int from, to;
  float u;
};
// `start` is the scene's first beat. Camera 3 holds from the seventh bell
// to a beat before the first ring, camera 0 from the first ring to the
// third, and the glide to camera 4 ends on the last.
CameraBlend cameraBlend(float t, const Bells& bells, float start);

// How high above its place a body part hangs at t, its bell at `bell`:
// 100 until 1.75 beats before the bell, then falling straight down, and
// 0 once the bell lies before t.
float bodyDrop(float bell, float t);

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
RingPose ringPose(int k, float ringBeat, float t, float turn);

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
