#pragma once
// The robot scene's timetable: what its picture holds at a beat, as pure
// functions. t is the show's beat, u the beats into the scene (t - 354).
//
// Four robots stand on a reflecting floor, each filmed by a camera of its
// own that circles slowly in front of it; the view (camera 4) moves from
// robot to robot. The painter robot drives round a circle of radius 6 and
// paints with a square brush between u = 36 and 48, when its circle also
// drifts along -x; the competition categories change every twelve beats.
namespace RobotsTiming {

// Camera 4 this frame: a copy of camera `from`, or blend(from, to, f).
struct CameraStep {
  bool copy;
  int from, to;
  float f;
};
CameraStep cameraStep(float u);

// A look-at for one of the robots' cameras.
struct LookAt {
  float eye[3];
  float centre[3];
};
// The camera that films the robot standing at (x, y, z): the assembled
// robot's (camera 0), the camera robot's (3), the banjo robot's (1).
LookAt robotCamera(float u);
LookAt cameraBotCamera(float u, const float at[3]);
LookAt banjoBotCamera(float u, const float at[3]);
// The painter's camera (2), looking down at it from its side.
LookAt painterCamera(float u, const float at[3]);

// Where the robots stand: x, y, z and a turn in degrees about the vertical.
struct Placement {
  float position[3];
  float angle;
};
constexpr Placement kRobotPlacement = {{0.0f, 0.0f, 0.0f}, 0.0f};
constexpr Placement kCameraBotPlacement = {{-25.0f, -20.0f, 0.0f}, 270.0f};
constexpr Placement kBanjoBotPlacement = {{-10.0f, 20.0f, 0.0f}, 90.0f};

// The painter paints, and its circle drifts, only while 36 < u < 48.
inline bool painting(float u) { return u > 36.0f && u < 48.0f; }
// How far the circle has drifted: set while painting, kept otherwise.
inline float painterTravel(float u, float travel) { return painting(u) ? 0.5f * (u - 36.0f) : travel; }
struct PainterPose {
  float position[3];  // the robot's
  float brush[3];     // where its brush touches the floor
  float heading;      // degrees about the vertical
};
PainterPose painterPose(float u, float travel);

// The canvas: 1024 x 1024 texels over 40 x 40 units of floor centred on
// x = -35; the brush is 16 x 16 texels, its corner at the texel under the
// brush's floor point, kept inside the canvas.
constexpr int kCanvasSize = 1024;
constexpr int kBrushSize = 16;
constexpr float kCanvasCentreX = -35.0f;
struct Texel {
  int x, y;
};
Texel brushTexel(float bx, float by);

// The moving parts' angles in degrees.
float robotNod(float t);                   // the assembled robot's head
float cameraBotSwing(float t);             // LowerArm_001, with the beat
float cameraBotHold(float u);              // LowerArm: 30, lowered from 90 beats into the slot
float banjoHead(float t, float u);         // twice as fast and far during "Gabber"
float banjoStrum(float t, float u);        // twice as fast during "Gabber"
// The recording and indicator lamps' red, blinking twice a beat: 0 to 1.
float lampRed(float t);

// The category shown u beats into the scene, and its alpha: 0 at each
// change, back to 1 over 1.2 beats. "Surprise" from 96 on.
const char* category(float u);
float categoryAlpha(float u);

}  // namespace RobotsTiming
