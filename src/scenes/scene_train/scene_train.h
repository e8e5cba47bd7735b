#pragma once
// Train: a wooden toy train runs along three parallel tracks whose 120 rail
// pieces drop into place from above just ahead of it, under a sky box and
// over a plywood floor, seen through the depth-of-field pipeline. Three
// camera set-ups follow it, one per 48-beat segment; caption lines appear at
// the lower left; the scene fades in over six beats and out over three.
#include <memory>
#include <optional>

#include "scenes/depth_of_field.h"
#include "scenes/scene.h"
#include "scenes/scene_train/train_timing.h"
#include "util/objects3d/objects3d.h"
#include "util/texture/texture.h"
#include "util/texture/texturecube.h"

class AtlasFont;
namespace Effects {
class Fader;
}

class Train : public Scene {
 public:
  Train();

  void load() override;
  // The segment, the train's position and the falling rails.
  void step(const FrameTime& time) override;
  void rewind() override;
  void draw(const FrameTime& time) override;
  void resizeView(int width, int height) override;

  Object3D model;
  TextureCube skyCube;
  Texture floorTexture;
  DepthOfField depthOfField;  // its two targets are the sharp and the blurred picture
  AtlasFont* captionFont = nullptr;
  std::unique_ptr<Effects::Fader> fadeIn;
  std::unique_ptr<Effects::Fader> fadeOut;
  unsigned activeCamera = 0;
  // Each rail's height, and the heights each of the three tracks draws it
  // at this frame (every track lowers it once more).
  float railHeights[TrainTiming::kRails] = {};
  float drawnHeights[3][TrainTiming::kRails] = {};
  float trackY = TrainTiming::kTrackY;
  float railSpacing = TrainTiming::kRailSpacing;
  // The box around what one falling rail draws, before its own move.
  float railMin[3] = {}, railMax[3] = {};
  float trainY = 20.0f;
  int segment = 0;
  float segmentStart = 0.0f;
  float segmentT = 0.0f;  // beats into the segment, this frame

 private:
  void setUpCameras();
  void setUpLights();
  void resetRails();
  void drawSky();
  void drawTrack(int track);
  void drawCaption(float u);  // u: beats into the slot

  bool started_ = false;
  // What each drawing of a track shows of the model (made at load).
  std::optional<PartMask> fixedTrack_, fallingRail_, train_;
};
