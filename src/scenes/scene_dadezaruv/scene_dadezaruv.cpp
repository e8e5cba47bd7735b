#include "scenes/scene_dadezaruv/scene_dadezaruv.h"

#include <memory>
#include <new>

#include "effects/effect.h"
#include "main_shaders.h"
#include "scenes/model_parts.h"
#include "scenes/scene_kit.h"
#include "scenes/stage_light.h"
#include "scenes/translucent_floor.h"
#include "util/atlas_font.h"
#include "util/error.h"
#include "util/fbo/fbo.h"
#include "util/objects3d/prefabs.h"
#include "util/util.h"

using namespace RobotsTiming;

namespace {

// The categories' face, in pixels of a 1280-wide picture: the size of the
// tile scene's caption, which stands at the same place.
constexpr unsigned kCaptionFaceSize = 110;

// The robots' cameras: a wide lens close up, sharp around 9 units away.
constexpr Lens kCloseLens = {97.63f, 0.1f, 1000.0f};
constexpr Lens kLongLens = {45.0f, 0.1f, 1000.0f};
constexpr Focus kCloseFocus = {9.0f, 10.0f, 10.0f};

// The robots' reflection, when it is drawn smaller, merges their vertices
// on a grid this fine (in the models' units): about half their triangles go,
// the small round details above all, while every part keeps its place, size
// and colour.
constexpr float kCoarseCell = 0.15f;

void loadRobot(Object3D& model, const char* path, const char* failure, const ShaderLibrary& shaders,
               float lift) {
  loadLitModel(model, path, failure, shaders);
  // Drawn with back faces culled; their open tubes and sheets show both sides.
  model.drawOpenGeometryTwoSided();
  model.matrix = Matrix::identity();
  model.matrix.translate(0.0f, 0.0f, lift);
}

// A program of the scene's own whose texture is on unit 0.
std::unique_ptr<ShaderProgram> programTexturingFromUnit0(const char* vertex, const char* fragment) {
  auto program = std::make_unique<ShaderProgram>(vertex, fragment);
  program->use();
  program->setUniform("Texture0", 0);
  glUseProgramObjectARB(0);
  return program;
}

void applyPlacement(const Placement& p) {
  glTranslatef(p.position[0], p.position[1], p.position[2]);
  glRotatef(p.angle, 0.0f, 0.0f, 1.0f);
}

void nodeMatrices(const Object3D& model, const char* node, Matrix& world, Matrix& inverse) {
  model.getNodeWorldMatrix(world, node);
  inverse = world.inverse();
}

}  // namespace

DadezAruv::DadezAruv() {
  lighting = true;
  blend = true;
}


void DadezAruv::load() {
  loadRobot(robot, "data/dadezaruv/Assembled robot.dae", "Failed to load robot", *shaders, 12.9f);
  loadRobot(cameraBot, "data/dadezaruv/Assembled CameraBot.dae", "Failed to load camerabot", *shaders, 12.9f);
  loadRobot(painterBot, "data/dadezaruv/Painterbot.dae", "Failed to load painterbot", *shaders, 0.9f);
  loadRobot(banjoBot, "data/dadezaruv/BanjoBot.dae", "Failed to load banjobot", *shaders, 12.9f);
  // The robots are lit by the lights at their cameras' eyes; the one by the
  // viewer's camera makes the highlights the viewer sees, and draw() binds
  // it first. It is lit once a pixel, the three farther off once a vertex:
  // they change smoothly over a robot, and lighting them once a pixel cost a
  // software renderer a tenth of the frame.
  robotShader_ = std::make_unique<ShaderProgram>("first_light_per_pixel.vert", "first_light_per_pixel_notex.frag");
  texturedRobotShader_ = programTexturingFromUnit0("first_light_per_pixel.vert", "first_light_per_pixel.frag");
  for (Object3D* model : robots()) {
    model->plainShader = robotShader_.get();
    model->texturedShader = texturedRobotShader_.get();
    // A reflection drawn smaller is drawn from coarser robots: in it most
    // of their triangles cover a few pixels, and what a software renderer
    // spends there follows the number of triangles, not of pixels.
    if (depthOfField.reflectionSmaller()) model->makeCoarse(kCoarseCell);
  }
  setUpCameras();
  setUpLights();

  nodeMatrices(robot, ModelParts::Robot::Skull, robotSkull_, robotSkullInverse_);
  nodeMatrices(cameraBot, ModelParts::CameraBot::SwingingArm, cameraArm_, cameraArmInverse_);
  nodeMatrices(cameraBot, ModelParts::CameraBot::HoldingArm, cameraHoldArm_, cameraHoldArmInverse_);
  nodeMatrices(banjoBot, ModelParts::BanjoBot::Skull, banjoSkull_, banjoSkullInverse_);
  nodeMatrices(banjoBot, ModelParts::BanjoBot::StrummingArm, banjoArm_, banjoArmInverse_);
  makePartMasks();
  // Every material the frames change, found once here rather than mid-show.
  lamps_ = cameraBot.materialsNamed(ModelParts::CameraBot::Lamp);
  for (Material* lamp : painterBot.materialsNamed(ModelParts::PainterBot::Lamp)) lamps_.push_back(lamp);
  screens_ = robot.materialsNamed(ModelParts::Robot::Screen);
  // The stage lights change smoothly over the curtain's fine grid: lit once
  // a vertex it looks the same, and the backdrop behind every frame costs a
  // software renderer far less than lighting each of its pixels.
  curtainShader_ = programTexturingFromUnit0("lit_per_vertex_tex.vert", "lit_per_vertex_tex.frag");
  for (Material* curtain : cameraBot.materialsNamed(ModelParts::CameraBot::Curtain))
    curtain->program = curtainShader_.get();

  paintCanvas.createEmpty(kCanvasSize, kCanvasSize, GL_RGBA8, true);
  paintCanvas.fill(0, 0, 0, 0);
  canvasChain = std::make_unique<MipChain>(kCanvasSize, kCanvasSize, 4);  // all 0, as the texture
  try {
    paintBrush.assign(size_t{kBrushSize} * kBrushSize * 4, 0xFF);
  } catch (const std::bad_alloc&) {
    FATAL("Failed assert paint_brush");
  }

  timesFont = fonts->get("data/common/fonts/times.ttf", 24);
  captionFont = fonts->get("data/common/fonts/MOVIPB__.ttf", kCaptionFaceSize);
  activeCamera = 4;
  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 0, 0, 0, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end, 0, 0, 0, 0, 1, 1, 1, 1);
  loadedView_.take(robot);
}

void DadezAruv::rewind() {
  loadedView_.restore(robot);
  robotPlacement = RobotsTiming::kRobotPlacement;
  cameraBotPlacement = RobotsTiming::kCameraBotPlacement;
  banjoBotPlacement = RobotsTiming::kBanjoBotPlacement;
  painter = {};
  painterTravel = 0.0f;
  // A clean canvas, in the texture and in the chain.
  paintCanvas.fill(0, 0, 0, 0);
  canvasChain->clear();
}

void DadezAruv::makePartMasks() {
  namespace Robot = ModelParts::Robot;
  robotBody_.emplace(robot);
  robotBody_->enable(Robot::Skull, false);
  robotHead_.emplace(robot);
  robotHead_->enable(Robot::Skull, true).enable(Robot::Torso, false);

  // The camera robot's two lower arms are drawn on their own, each turned.
  namespace CameraBot = ModelParts::CameraBot;
  cameraBotBody_.emplace(cameraBot);
  for (const char* name : {CameraBot::HoldingForearm, CameraBot::HoldingHand, CameraBot::SwingingForearm,
                           CameraBot::SwingingHand})
    cameraBotBody_->showGeometry(name, false);
  cameraBotSwingingArm_.emplace(cameraBot);
  cameraBotSwingingArm_->showAllGeometries(false)
      .showGeometry(CameraBot::SwingingForearm, true)
      .showGeometry(CameraBot::SwingingHand, true);
  cameraBotHoldingArm_.emplace(cameraBot);
  cameraBotHoldingArm_->showAllGeometries(false)
      .showGeometry(CameraBot::HoldingForearm, true)
      .showGeometry(CameraBot::HoldingHand, true);

  // The banjo robot: the body with its banjo, the head alone, the
  // strumming forearm and hand alone.
  namespace BanjoBot = ModelParts::BanjoBot;
  banjoBotBody_.emplace(banjoBot);
  banjoBotBody_->showGeometry(BanjoBot::StrummingForearm, false)
      .showGeometry(BanjoBot::StrummingHand, false)
      .enable(BanjoBot::Skull, false);
  banjoBotHead_.emplace(*banjoBotBody_);
  banjoBotHead_->enable(BanjoBot::Skull, true).enable(BanjoBot::Torso, false).enable(BanjoBot::Banjo, false);
  banjoBotArm_.emplace(banjoBot);
  banjoBotArm_->showAllGeometries(false)
      .showGeometry(BanjoBot::StrummingForearm, true)
      .showGeometry(BanjoBot::StrummingHand, true);
}

void DadezAruv::setUpCameras() {
  // The robot's file brings its camera (and its light): without one the
  // scene's indices would point at the wrong cameras.
  if (robot.cameras.empty()) FATAL("The assembled robot has no camera");
  setLens(robot.cameras.back(), kCloseLens, kCloseFocus);
  for (int i = 0; i < 3; ++i) {
    Camera camera;
    setLens(camera, kCloseLens, kCloseFocus);
    robot.cameras.push_back(camera);
  }
  struct Placed {
    float eye[3], centre[3], up[3];
    Lens lens;
    Focus focus;
  };
  const Placed placed[6] = {
      {{5, -5, 7}, {-1, 1, 0}, {0, 0, 1}, kCloseLens, kCloseFocus},
      {{5, 0, 6}, {-1, 0, 5}, {0, 0, 1}, kCloseLens, kCloseFocus},
      {{20, -20, 15}, {0, 0, 0}, {0, 0, 1}, kLongLens, {35, 10, 10}},
      {{50, -50, 30}, {0, 0, 0}, {0, 0, 1}, kLongLens, kUnsetFocus},
      {{0, -70, 1}, {0, 0, 0}, {0, 1, 0}, kLongLens, kUnsetFocus},
      {{0, 70, 1}, {0, 0, 0}, {0, -1, 0}, kLongLens, kUnsetFocus},
  };
  for (const Placed& p : placed) {
    Camera camera;
    camera.lookAt(p.eye[0], p.eye[1], p.eye[2], p.centre[0], p.centre[1], p.centre[2], p.up[0], p.up[1], p.up[2]);
    setLens(camera, p.lens, p.focus);
    robot.cameras.push_back(camera);
  }
}

void DadezAruv::setUpLights() {
  if (robot.lights.empty()) FATAL("The assembled robot has no light");
  for (size_t i = 0; i < 4; ++i) {
    if (robot.lights.size() <= i) robot.lights.emplace_back();
    setStageLight(robot.lights.back(), 0.1f, 0.01f, -5.0f, -35.0f, 0.0f);
  }
}

void DadezAruv::resizeView(int width, int height) {
  Scene::resizeView(width, height);
  depthOfField.resize(width, height);
}

void DadezAruv::placeCamera(int index, const LookAt& view) {
  Camera& camera = robot.cameras[static_cast<size_t>(index)];
  camera.lookAt(view.eye[0], view.eye[1], view.eye[2], view.centre[0], view.centre[1], view.centre[2], 0, 0, 1);
  setLens(camera, kCloseLens, kCloseFocus);
  Light& light = robot.lights[static_cast<size_t>(index)];
  for (int c = 0; c < 3; ++c) light.position[c] = view.eye[c];
}

void DadezAruv::step(const FrameTime& time) {
  const float t = time.beat, u = time.slotBeat;

  // The view, from the robots' cameras as the last frame left them.
  const CameraStep view = cameraStep(u);
  Camera& four = robot.cameras[4];
  if (view.copy) {
    four = robot.cameras[static_cast<size_t>(view.from)];
  } else {
    Camera::blend(robot.cameras[static_cast<size_t>(view.from)], robot.cameras[static_cast<size_t>(view.to)],
                  view.f, four);
  }

  // The four robots' places, cameras and lights.
  robotPlacement = kRobotPlacement;
  placeCamera(0, robotCamera(u));
  cameraBotPlacement = kCameraBotPlacement;
  placeCamera(3, cameraBotCamera(u, cameraBotPlacement.position));
  painterTravel = RobotsTiming::painterTravel(u, painterTravel);
  painter = painterPose(u, painterTravel);
  placeCamera(2, painterCamera(u, painter.position));
  banjoBotPlacement = kBanjoBotPlacement;
  placeCamera(1, banjoBotCamera(u, banjoBotPlacement.position));

  if (painting(u)) paint();

  for (Material* lamp : lamps_) lamp->setColourOffset(lampRed(t), 0, 0, 0);
  // The shared target's texture is made anew when the window's size changes.
  for (Material* screen : screens_) screen->texture = screenTexture();
}

void DadezAruv::paint() {
  // The brush stamps its square under the painter's brush; paint piles up.
  // The chain's levels follow the few texels it changed.
  const Texel at = brushTexel(painter.brush[0], painter.brush[1]);
  canvasChain->write(at.x, at.y, kBrushSize, kBrushSize, paintBrush.data());
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, paintCanvas.id);
  canvasChain->uploadChanged(GL_TEXTURE_2D, GL_RGBA);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void DadezAruv::draw(const FrameTime& time) {
  const float t = time.beat, u = time.slotBeat;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // The window's depth is left as it is: the robots are drawn into the
  // depth-of-field target, which starts cleared, and the window only gets
  // the composed picture and the captions, none of them depth tested. (A
  // depth clear of a multisampled window costs half a millisecond here.)

  glMultMatrixf(robot.matrix.data());
  robot.cameras[activeCamera].apply(viewWidth, viewHeight);
  robot.bindLights();
  // The robots take the light nearest the viewer first (see load); the
  // floor keeps the lights in their order, lit by light 0 alone. Both are
  // bound under the camera's own view, the reflection's too.
  Matrix view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.data());
  const auto bindUnderView = [&view](const Object3D& model, bool nearestFirst) {
    glPushMatrix();
    glLoadMatrixf(view.data());
    if (nearestFirst) {
      model.bindLightsNearestFirst();
    } else {
      model.bindLights();
    }
    glPopMatrix();
  };

  depthOfField.renderOnGlassFloor(*shaders, robot.cameras[activeCamera], [&](bool mirrored) {
    if (!mirrored) drawCanvas();  // on the glass: no reflection of its own
    BackFaceCulling culling(mirrored);
    bindUnderView(robot, true);
    for (Object3D* model : robots()) model->drawCoarse = mirrored;
    drawRobots(t);
    for (Object3D* model : robots()) model->drawCoarse = false;
    bindUnderView(robot, false);
  });

  drawCategory(u);
  fadeIn->draw(t);
  fadeOut->draw(t);
}

Texture* DadezAruv::screenTexture() const {
  return renderTarget && !renderTarget->colorTextures.empty() ? renderTarget->colorTextures[0].get() : nullptr;
}

void DadezAruv::drawTurned(Object3D& model, const PartMask& shown, const Matrix& node, const Matrix& nodeInverse,
                           float degrees, float x, float y, float z) {
  glPushMatrix();
  glMultMatrixf(node.data());
  glRotatef(degrees, x, y, z);
  glMultMatrixf(nodeInverse.data());
  model.draw(shown);
  glPopMatrix();
}

void DadezAruv::drawRobots(float t) {
  drawAssembledRobot(t);
  drawCameraBot(t);
  drawPainterBot();
  drawBanjoBot(t);
}

void DadezAruv::drawAssembledRobot(float t) {
  glPushMatrix();
  applyPlacement(robotPlacement);
  robot.draw(*robotBody_);
  drawTurned(robot, *robotHead_, robotSkull_, robotSkullInverse_, robotNod(t), 0.0f, 1.0f, 0.0f);
  glPopMatrix();
}

void DadezAruv::drawCameraBot(float t) {
  glPushMatrix();
  applyPlacement(cameraBotPlacement);
  cameraBot.draw(*cameraBotBody_);
  drawTurned(cameraBot, *cameraBotSwingingArm_, cameraArm_, cameraArmInverse_, cameraBotSwing(t), 1.0f, 0.0f,
             0.0f);
  drawTurned(cameraBot, *cameraBotHoldingArm_, cameraHoldArm_, cameraHoldArmInverse_, cameraBotHold(t - start), 1.0f,
             0.0f, 0.0f);
  glPopMatrix();
}

void DadezAruv::drawPainterBot() {
  glPushMatrix();
  glTranslatef(painter.position[0], painter.position[1], painter.position[2]);
  glRotatef(painter.heading, 0.0f, 0.0f, 1.0f);
  painterBot.draw();
  glPopMatrix();
}

void DadezAruv::drawBanjoBot(float t) {
  const float u = t - start;
  glPushMatrix();
  applyPlacement(banjoBotPlacement);
  banjoBot.draw(*banjoBotBody_);
  drawTurned(banjoBot, *banjoBotHead_, banjoSkull_, banjoSkullInverse_, banjoHead(t, u), 0.0f, 1.0f, 0.0f);
  drawTurned(banjoBot, *banjoBotArm_, banjoArm_, banjoArmInverse_, banjoStrum(t, u), 0.0f, 1.0f, 0.0f);
  glPopMatrix();
}

void DadezAruv::drawCanvas() {
  shaders->nolight_tex->use();
  glEnable(GL_BLEND);
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, paintCanvas.id);
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
  glPushMatrix();
  glTranslatef(kCanvasCentreX, 0.0f, 0.0f);
  glTranslatef(0.0f, 0.0f, 0.01f);
  drawQuad(-20.0f, -20.0f, 40.0f, 40.0f, 1.0f, false);
  glPopMatrix();
  glBindTexture(GL_TEXTURE_2D, 0);
}

void DadezAruv::drawCategory(float u) {
  beginCaption();
  const float alpha = categoryAlpha(u);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glTranslatef(0.02f * static_cast<float>(viewWidth), 0.8f * static_cast<float>(pictureHeight), 0.0f);
  drawTextShadowed(captionFont, viewWidth, 3.5f, alpha, "%s", category(u));
}
