#pragma once
// The opening credits' timetable: where every layer is, how bright the
// flashes, the rain and the sky are, and which logo or line of text shows,
// each as a function of the beat, counted from the slot's first beat (the
// show's first beat, where the credits stand). No OpenGL here, so all of it
// is testable.
#include <vector>

namespace CreditsTiming {

constexpr int kLayerCount = 6;
constexpr int kPhotoCount = 6;
constexpr int kRainSheets = 3;
constexpr int kCueCount = 8;
// The landscape turns toward dawn from here: daylight, green tint, rain fade.
constexpr float kDawnBeat = 96.0f;
constexpr float kLastBeat = 114.0f;

// A landscape layer at a beat, in picture coordinates (0..1 across the 16:9
// picture, origin bottom left). Its width follows from the image's aspect.
struct LayerPlacement {
  float x;
  float y;
  float height;
};
LayerPlacement layerPlacement(int layer, float beat);
// The width, in picture units, of an image of the given width / height
// drawn `height` high with its proportions kept (layers and logos).
float pictureWidth(float height, float imageAspect);
// The layer's colour before dawn (RGBA).
const float* layerBaseColour(int layer);

// Sky brightness: 0 through the night, rising to 1 over the 18 beats after dawn.
float skyDaylight(float beat);
// The green the layers are raised to after dawn (0 before), at most 0.3.
float greenTint(float beat);

// Rain: its alpha (0.5 through the night, fading to 0 at the last beat) and
// whether it is drawn at all.
bool rainShown(float beat);
float rainAlpha(float beat);
// One rain sheet's texture window at a beat: size (repeats across the
// picture) and origin.
struct RainWindow {
  float size;
  float s;
  float t;
};
RainWindow rainWindow(int sheet, float beat);

// The lightning flash at a beat: the first note-on within half a beat gives
// alpha 1 - distance and photograph (its index mod 6); none gives alpha 0.
struct Flash {
  int photo;
  float alpha;
};
Flash flash(const std::vector<float>& lightningBeats, float beat);

// The text takes over from the logos here.
constexpr float kFirstTextBeat = 42.0f;

// The eight cue beats on which the text blinks: the first and the fourth
// flash, then 42, 51, 60, 72, 84 and 102. Needs at least four flashes.
void cueBeats(const std::vector<float>& lightningBeats, float cues[kCueCount]);
// The blink: 0 on a cue, back to 1 within 1.2 beats on either side.
float cueAlpha(const float cues[kCueCount], float beat);

// What the credits show in front at a beat, drawn in this order.
struct Item {
  enum Kind { GroupLogo, PartnerLogo, Text } kind;
  const char* text;  // Text only
  float x;           // Text only: the text's origin as a fraction of the picture
  float y;
  float alpha;
};
constexpr int kMaxItems = 3;
int items(const float cues[kCueCount], float beat, Item out[kMaxItems]);

}  // namespace CreditsTiming
