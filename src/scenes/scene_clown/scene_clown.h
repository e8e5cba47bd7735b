#pragma once
// Clown: a ring-stacking toy shaped as a clown is built by the music in a
// toy room. Its seven parts drop onto the pole on the "KlovneRinger" bells,
// each landing with a jolt of the camera; then twelve loose rings fall over
// the figure in pairs and stack around its foot. A children's table with
// chairs and a rocking horse stand on the plywood floor; the view glides
// between five cameras, and the show's credits appear role by role at the
// upper left. Fades in from black over twelve beats and out over three.
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "scenes/scene.h"
#include "scenes/scene_kit.h"
#include "scenes/scene_clown/clown_timing.h"
#include "util/objects3d/matrix.h"
#include "util/objects3d/objects3d.h"
#include "util/texture/texture.h"

class FBO;
class AtlasFont;
namespace Effects {
class Fader;
}

class Clown : public Scene {
 public:
  Clown();

  void load() override;
  // Camera 2's blend, the camera shakes and the drifts, the rings' turns.
  void step(const FrameTime& time) override;
  void rewind() override;
  void draw(const FrameTime& time) override;
  void resizeView(int width, int height) override;

  Object3D model;
  Object3D chairs;
  Object3D rockingHorse;
  // Created and sized like the other toy scenes' targets; this scene draws
  // straight to the picture.
  std::unique_ptr<FBO> sceneTarget;
  std::unique_ptr<FBO> blurTarget;
  AtlasFont* captionFont = nullptr;
  Texture floorTexture;
  unsigned activeCamera = 2;
  ClownTiming::Bells bells = {};  // the bells' beats
  std::unique_ptr<Effects::Fader> fadeIn;
  std::unique_ptr<Effects::Fader> fadeOut;

  // Per-frame state (step): what the shakes moved the cameras by, and each
  // loose ring's turn, drawn on the scene's first frame.
  float firstShakeSum = 0.0f;
  float ringShakeSum = 0.0f;
  float ringTurns[ClownTiming::kRings] = {};

 private:
  void setUpCameras();
  void setUpLights();
  void drawFurniture(float t);
  void drawFigure(float t);
  void drawRings(float t);
  void drawCredits(float u);  // u: beats into the slot
  // Moves the view matrices of the listed cameras by (x, y, z).
  void moveCameras(std::initializer_list<int> cameras, float x, float y, float z);

  Matrix horsePivot_;  // the rocking part's world matrix, fixed at load
  Matrix horsePivotInverse_;
  bool started_ = false;
  ViewSnapshot loadedView_;  // the cameras before the shakes and blends move them
  // The clown's parts, each drawn alone (made at load).
  std::optional<PartMask> pole_;
  std::vector<PartMask> bodyParts_;
  std::vector<PartMask> rings_;
};
