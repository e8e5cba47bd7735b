#pragma once
// DadezAruv: the competition scene. Four robots perform on a reflecting
// floor: an assembled robot that nods, with the code and the metaballs of
// the same slot on the screen in its chest; a camera robot filming, its
// arms swinging and one coming down at the end; a painter robot driving in
// circles and painting a trail onto a canvas on the floor; and a banjo
// robot strumming, twice as fast during "Gabber". Each robot has a camera
// circling before it, and the view moves from one to the next; the
// party's competition categories change every twelve beats at the upper
// left. Fades in from black and ends in a flash to white.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "scenes/depth_of_field.h"
#include "scenes/scene.h"
#include "scenes/scene_kit.h"
#include "scenes/scene_dadezaruv/dadezaruv_timing.h"
#include "util/objects3d/matrix.h"
#include "util/objects3d/objects3d.h"
#include "util/texture/mipmaps.h"
#include "util/texture/texture.h"

class AtlasFont;
namespace Effects {
class Fader;
}

class DadezAruv : public Scene {
 public:
  DadezAruv();

  void load() override;
  // The view's move, the four robots' cameras, lights and places, their
  // lamps, the robot's screen, and the painting into the canvas.
  void step(const FrameTime& time) override;
  void rewind() override;
  void draw(const FrameTime& time) override;
  void resizeView(int width, int height) override;

  unsigned activeCamera = 4;
  Object3D robot;  // its cameras and lights are the scene's
  Object3D cameraBot;
  Object3D painterBot;
  Object3D banjoBot;
  RobotsTiming::Placement robotPlacement = RobotsTiming::kRobotPlacement;
  RobotsTiming::Placement cameraBotPlacement = RobotsTiming::kCameraBotPlacement;
  RobotsTiming::Placement banjoBotPlacement = RobotsTiming::kBanjoBotPlacement;
  RobotsTiming::PainterPose painter = {};
  DepthOfField depthOfField;
  Texture paintCanvas;
  std::unique_ptr<MipChain> canvasChain;  // the canvas's texels, every level
  std::vector<uint8_t> paintBrush;  // 16 x 16 opaque white texels
  AtlasFont* timesFont = nullptr;
  AtlasFont* captionFont = nullptr;
  std::unique_ptr<Effects::Fader> fadeIn;
  std::unique_ptr<Effects::Fader> fadeOut;
  float painterTravel = 0.0f;  // kept from frame to frame (rewind puts it back)

 private:
  void setUpCameras();
  void setUpLights();
  // One robot's camera (look-at and lens) and the light at its eye.
  void placeCamera(int index, const RobotsTiming::LookAt& view);
  void paint();
  // The shared render target's picture (the code and the metaballs), or
  // none when it has no colour texture: the robot's screen.
  Texture* screenTexture() const;
  void drawRobots(float t);
  void drawAssembledRobot(float t);
  void drawCameraBot(float t);
  void drawPainterBot();
  void drawBanjoBot(float t);
  void drawCanvas();
  void drawCategory(float u);
  // Draws what `shown` shows of `model` with node `node` turned by
  // `degrees` about `axis` in the node's own frame, about the node's origin.
  static void drawTurned(Object3D& model, const PartMask& shown, const Matrix& node, const Matrix& nodeInverse,
                         float degrees, float x, float y, float z);
  void makePartMasks();
  // The four robots' models (the camera robot's holds the stage too).
  std::array<Object3D*, 4> robots() { return {&robot, &cameraBot, &painterBot, &banjoBot}; }

  // The turning nodes' world matrices and their inverses, fixed at load.
  Matrix robotSkull_, robotSkullInverse_;
  Matrix cameraArm_, cameraArmInverse_;          // LowerArm_001
  Matrix cameraHoldArm_, cameraHoldArmInverse_;  // LowerArm
  Matrix banjoSkull_, banjoSkullInverse_;
  Matrix banjoArm_, banjoArmInverse_;
  // What each of the robots' drawings shows: the body still, then each
  // turning part alone (made at load).
  std::optional<PartMask> robotBody_, robotHead_;
  std::optional<PartMask> cameraBotBody_, cameraBotSwingingArm_, cameraBotHoldingArm_;
  std::optional<PartMask> banjoBotBody_, banjoBotHead_, banjoBotArm_;
  // The camera and painter robots' lamps, the assembled robot's screen.
  std::vector<Material*> lamps_;
  std::vector<Material*> screens_;
  // The stage curtain's program: lit once a vertex.
  std::unique_ptr<ShaderProgram> curtainShader_;
  // The robots' programs: the light nearest the eye once a pixel, the rest
  // once a vertex.
  std::unique_ptr<ShaderProgram> robotShader_, texturedRobotShader_;
  ViewSnapshot loadedView_;  // the robot's cameras and lights before the frames move them
};
