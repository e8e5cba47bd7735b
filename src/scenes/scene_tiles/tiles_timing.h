#pragma once
// The tile scene's timetable, as functions of t, the beats into the scene
// (0 to 96): the tiles fly in until 48, the side panels fold up into walls
// from 48 to 84, the shower head comes down from 48 to 66, and the camera
// glides from camera 1 to camera 2 and on past camera 4.
#include <vector>

namespace TilesTiming {

constexpr float kFlyInEnd = 48.0f;
constexpr float kFoldEnd = 84.0f;
constexpr float kTileSize = 0.5f;
constexpr int kColumns = 80;
constexpr int kRows[3] = {37, 37, 39};  // left, middle and right panel
constexpr int kMosaicWidth = 113;       // rows over all three panels

// A value from a to b with the C library's generator (rand() / RAND_MAX),
// seeded once per show: the scene draws four per tile while loading, in a
// fixed order.
float randomRange(float a, float b);

// Where a tile is at t: on the straight line from its start to its target,
// there from its arrival on.
void tilePosition(const float start[3], const float target[3], float arrival, float t,
                  float out[3]);

// Whether a tile has arrived at t: from then on tilePosition puts it
// exactly on its target, and the wall draws it.
inline bool hasArrived(float arrival, float t) { return t >= arrival; }

// Each tile's place among its panel's tiles (the arrival times of one
// panel): its rank by arrival, the earlier tile first on a tie. At any t
// the tiles that have arrived then take the first places, so the ones still
// flying are the last.
std::vector<int> placesByArrival(const std::vector<float>& arrivals);

// The side panels' fold, in degrees: 0 until 48, up to 90 at 84.
float foldAngle(float t);

// The shower head's height: 300 until 48, down to 17 at 66, then 17.
float showerHeadZ(float t);

// The camera of the moment is a blend of two fixed cameras: 1 to 2 over the
// fly-in, then 2 to 4 over the fold, with the factor going on past 1.
struct CameraBlend {
  int from, to;
  float factor;
};
CameraBlend cameraBlend(float t);

// The caption "Wild": shown from 6 to 90, fading in and out over 1.2 beats
// at 6, 90 and 96.
bool captionShown(float t);
float captionAlpha(float t);

// Which mosaic pixel a tile shows: its overall row r (0 to 112) and column.
inline int mosaicPixel(int r, int column) { return r + kMosaicWidth * column; }

}  // namespace TilesTiming
