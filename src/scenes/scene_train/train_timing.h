#pragma once
// The train scene's timetable: what its picture holds at a beat, as pure
// functions (the scene keeps only what a frame carries over to the next:
// the segment, the beat it began at and the rails' heights).
//
// The scene runs in segments of 48 beats. Each starts the train at y = 20,
// running towards -y at 12 units a beat, and lifts the 120 rail pieces ahead
// of it (piece i at 10 + 22 i above the track), which then fall as the
// frames go by. Camera 0 shows the first segment, camera 2 the second,
// camera 1 the third and every later one.
namespace TrainTiming {

constexpr int kRails = 120;
constexpr float kSegmentBeats = 48.0f;
constexpr float kTrackY = 200.0f;
constexpr float kRailSpacing = 7.0f;
// Each of the three tracks lowers every rail by this much per beat of the
// frame's step (so together they fall three times as fast).
constexpr float kRailFallPerTrack = 12.5f;

// The segment bookkeeping of one frame at `beat`: a frame more than 48
// beats into its segment starts the next one, with t = 0.
struct SegmentStep {
  bool newSegment;
  float segmentStart;  // after the step
  float t;             // beats into the segment, for this frame
};
SegmentStep stepSegment(float beat, float segmentStart);

// The camera made active when segment `segment` begins; `current` otherwise.
unsigned cameraForSegment(int segment, unsigned current);

// The train's position along y, t beats into a segment.
inline float trainY(float t) { return 20.0f - 12.0f * t; }

// A rail piece's height at the start of a segment.
inline float railStartHeight(int i) { return 10.0f + 22.0f * static_cast<float>(i); }
// One track's lowering of a rail by the frame's step; it lands on 0 and stays.
inline float lowerRail(float height, float beatStep) {
  float lowered = height - kRailFallPerTrack * beatStep;
  return height > 0.0f && lowered > 0.0f ? lowered : 0.0f;
}

// The three camera paths, t beats into a segment.
struct LookAt {
  float eye[3];
  float centre[3];
};
LookAt cameraPath(int camera, float t);

// The caption of the beat `u` beats into the scene: null before 48 and
// from 138; and its alpha, 0 on each change of line, back to 1 over 1.2 beats.
const char* captionLine(float u);
float captionAlpha(float u);

}  // namespace TrainTiming
