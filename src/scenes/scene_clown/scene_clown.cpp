#include "scenes/scene_clown/scene_clown.h"

#include <cmath>
#include <cstdlib>

#include "effects/effect.h"
#include "main_shaders.h"
#include "scenes/model_parts.h"
#include "scenes/plywood_floor.h"
#include "scenes/scene_kit.h"
#include "scenes/stage_light.h"
#include "util/atlas_font.h"
#include "util/error.h"
#include "util/fbo/fbo.h"
#include "util/music/music.h"
#include "util/util.h"

using namespace ClownTiming;

namespace {

// The credits' face, in pixels of a 1280-wide picture: two lines 0.13 of
// the picture's height apart take capitals no taller than about 0.1 of it.
constexpr unsigned kCaptionFaceSize = 100;
constexpr float kCaptionShadow = 3.0f;

namespace Parts = ModelParts::Clown;
const char* const kBodyNames[kBodyParts] = {Parts::Body1, Parts::Body2, Parts::Body3, Parts::Body4,
                                            Parts::Body5, Parts::Body6, Parts::Body7};
// The loose rings come in four colours, taken in turn.
const char* const kRingNames[4] = {Parts::Ring1, Parts::Ring2, Parts::Ring3, Parts::Ring4};

// One part of the clown alone: its node's own geometries and no others.
PartMask partAlone(const Object3D& model, const char* name) {
  PartMask shown(model);
  shown.showAllNodeGeometry(false).showNodeGeometry(name, true);
  return shown;
}


// The generator's value as a fraction of its range.
float randomFraction() { return static_cast<float>(static_cast<double>(std::rand()) / RAND_MAX); }

}  // namespace

Clown::Clown() {
  blend = true;
  lighting = true;
}


void Clown::load() {
  loadLitModel(model, "data/clown/Title screen.dae", "Failed to load clown", *shaders);
  model.matrix = Matrix::identity();
  model.matrix.translate(0.0f, 0.0f, -0.5f);

  loadLitModel(chairs, "data/clown/stoler.dae", "Failed to load lekebord", *shaders);
  chairs.matrix = Matrix::identity();
  chairs.matrix.rotate(90.0f, 1.0f, 0.0f, 0.0f).translate(-65.0f, 15.0f, -30.0f).scale(3.0f, 3.0f, 3.0f);

  loadLitModel(rockingHorse, "data/clown/gyngehest.dae", "Failed to load gyngehest", *shaders);
  rockingHorse.matrix = Matrix::identity();
  rockingHorse.matrix.rotate(90.0f, 1.0f, 0.0f, 0.0f).translate(-50.0f, 0.0f, -6.0f).scale(3.0f, 3.0f, 3.0f);
  rockingHorse.getNodeWorldMatrix(horsePivot_, ModelParts::RockingHorse::Rockers);
  horsePivotInverse_ = horsePivot_.inverse();

  pole_.emplace(partAlone(model, Parts::Pole));
  for (const char* name : kBodyNames) bodyParts_.push_back(partAlone(model, name));
  for (const char* name : kRingNames) rings_.push_back(partAlone(model, name));

  setUpCameras();
  setUpLights();

  sceneTarget = std::make_unique<FBO>(64, 64, 4);
  blurTarget = std::make_unique<FBO>(64, 64, 1);
  captionFont = fonts->get("data/common/fonts/MOVIPB__.ttf", kCaptionFaceSize);

  activeCamera = 2;
  const std::vector<float> ringTimes = music->noteOnBeats("KlovneRinger");
  if (!bellsFrom(ringTimes, bells))
    FATAL("The \"KlovneRinger\" track has %i bells; the clown's %i parts and %i rings need at least %i",
          static_cast<int>(ringTimes.size()), static_cast<int>(kBodyParts), kRings,
          static_cast<int>(kBodyParts) + kRings);

  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 0, 0, 0, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end, 0, 0, 0, 0, 0, 0, 0, 1);
  if (!floorTexture.load(kPlywoodFloorTexture, true, true, GL_LINEAR, GL_LINEAR))
    FATAL("Failed to load floor");
  loadedView_.take(model);
}

void Clown::rewind() {
  loadedView_.restore(model);
  firstShakeSum = 0.0f;
  ringShakeSum = 0.0f;
  for (float& turn : ringTurns) turn = 0.0f;
  started_ = false;
}

void Clown::setUpCameras() {
  struct Placement {
    float eye[3], centre[3];
    float yfov, znear, zfar;
    bool focus;
  };
  const Placement placements[7] = {
      {{5, -20, 10}, {-5, 0, 10}, 45.0f, 0.1f, 100.0f, false},
      {{5, -5, 7}, {-1, 1, 0}, 77.32f, 0.1f, 100.0f, true},
      {{0, 0, 0}, {0, 0, 0}, 60.0f, -1.0f, -1.0f, false},  // rebuilt every frame
      {{25, -15, 4}, {-15, -10, 2}, 77.32f, 0.1f, 100.0f, true},
      {{40, 0, 1}, {0, 0, 0}, 45.0f, 0.1f, 1000.0f, false},
      {{-50, -40, 1}, {-50, 0, 0}, 45.0f, 0.1f, 1000.0f, false},
      {{-30, 1, 100}, {-30, 0, 0}, 45.0f, 0.1f, 1000.0f, false},
  };
  for (int i = 0; i < 7; ++i) {
    const Placement& p = placements[i];
    Camera camera;
    if (i != 2) camera.lookAt(p.eye[0], p.eye[1], p.eye[2], p.centre[0], p.centre[1], p.centre[2], 0, 0, 1);
    setLens(camera, {p.yfov, p.znear, p.zfar});
    if (p.focus) setFocus(camera, {9.0f, 10.0f, 10.0f});
    model.cameras.push_back(camera);
  }
  if (model.cameras.size() < 5) FATAL("The clown has too few cameras");
}

void Clown::setUpLights() {
  if (model.lights.empty()) return;  // a model without lights gets none
  for (size_t i = model.lights.size(); i < 4; ++i) {
    Light light;
    setStageLight(light, 0.1f, 0.01f, -25.0f, -35.0f, 0.0f);
    model.lights.push_back(light);
  }
}

void Clown::resizeView(int width, int height) {
  Scene::resizeView(width, height);
  sceneTarget->resize(width, height);
  blurTarget->resize(width, height);
}

void Clown::moveCameras(std::initializer_list<int> cameras, float x, float y, float z) {
  for (int c : cameras) model.cameras[static_cast<size_t>(c)].view.translate(x, y, z);
}

void Clown::step(const FrameTime& time) {
  const float t = time.beat;
  if (!started_) {
    // Each loose ring lies turned by a quarter, a half or three quarters.
    for (float& turn : ringTurns) turn = 90.0f * static_cast<float>(1 + std::rand() % 3);
    started_ = true;
  }

  // The view of this frame, from the cameras as the last frame left them.
  const CameraBlend blend = cameraBlend(t, bells, start);
  Camera::blend(model.cameras[static_cast<size_t>(blend.from)], model.cameras[static_cast<size_t>(blend.to)],
                blend.u, model.cameras[2]);

  // The jolt of the last body part, undone as soon as it is over.
  const float first = firstShakeReach(t, bells.body[kBodyParts - 1]);
  if (first > 0.0f) {
    const float w = shakeOffset(first, randomFraction());
    moveCameras({1, 0, 3}, 0.0f, 0.0f, w);
    firstShakeSum += w;
  } else if (firstShakeSum != 0.0f) {
    moveCameras({1, 0, 3}, 0.0f, 0.0f, -firstShakeSum);
    firstShakeSum = 0.0f;
  }

  // The loose rings: a jolt as each lands, undone by the first ring whose
  // jolt is over; from the third on, camera 0 drifts while a ring falls.
  for (int k = 0; k < kRings; ++k) {
    const float K = bells.rings[k];
    if (t > K) {
      const float reach = ringShakeReach(t, K);
      if (reach > 0.0f) {
        const float w = shakeOffset(reach, randomFraction());
        moveCameras({0, 4}, 0.0f, 0.0f, w);
        ringShakeSum += w;
      } else if (ringShakeSum != 0.0f) {
        moveCameras({0, 4}, 0.0f, 0.0f, -ringShakeSum);
        ringShakeSum = 0.0f;
      }
    } else if (K - t < 1.0f && k >= 2) {
      const float v = time.beatStep;
      moveCameras({0}, -v, -2.5f * v, 0.0f);
    }
  }
}

void Clown::draw(const FrameTime& time) {
  const float t = time.beat;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  glMultMatrixf(model.matrix.data());
  model.cameras[activeCamera].apply(viewWidth, viewHeight);
  model.bindLights();

  drawPlywoodFloor(*shaders, floorTexture);
  {
    BackFaceCulling culling;
    drawFurniture(t);
    drawFigure(t);
    drawRings(t);
  }

  fadeIn->draw(t);
  fadeOut->draw(t);
  drawCredits(time.slotBeat);
}

void Clown::drawFurniture(float t) {
  chairs.draw();

  // The horse rocks about the z axis of its rocking part's frame, which
  // lies across the horse through the point where the rockers meet the
  // floor: into that frame, the turn, and back out of it.
  glPushMatrix();
  glTranslatef(0.0f, -30.0f, 0.0f);
  glMultMatrixf(horsePivot_.data());
  glRotatef(12.5f * std::sin(t), 0.0f, 0.0f, 1.0f);
  glTranslatef(0.0f, 4.0f, 0.0f);
  glMultMatrixf(horsePivotInverse_.data());
  rockingHorse.draw();
  glPopMatrix();
}

void Clown::drawFigure(float t) {
  glPushMatrix();
  model.draw(*pole_);
  for (size_t k = 0; k < kBodyParts; ++k) {
    const float drop = bodyDrop(bells.body[k], t);
    glTranslatef(0.0f, 0.0f, drop);
    model.draw(bodyParts_[k]);
    glTranslatef(0.0f, 0.0f, -drop);
  }
  glPopMatrix();
}

void Clown::drawRings(float t) {
  for (int k = 0; k < kRings; ++k) {
    const RingPose pose = ringPose(k, bells.rings[k], t, ringTurns[k]);
    if (!pose.shown) continue;
    glPushMatrix();
    // The model's own matrix is applied by its draw: heights are the model's.
    glTranslatef(0.0f, 0.0f, pose.height);
    glRotatef(pose.spin, 0.0f, 0.0f, 1.0f);
    glRotatef(pose.tilt, 1.0f, 0.0f, 0.0f);
    model.draw(rings_[static_cast<size_t>(k % 4)]);
    glPopMatrix();
  }
}

void Clown::drawCredits(float u) {
  const char* role = creditRole(u);
  if (!role) return;
  beginCaption();
  const float alpha = creditAlpha(u);
  const float x = 0.05f * static_cast<float>(viewWidth), y = 0.85f * static_cast<float>(pictureHeight);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glPushMatrix();
  glTranslatef(x, y, 0.0f);
  drawTextShadowed(captionFont, viewWidth, kCaptionShadow, alpha, "%s", role);
  glPopMatrix();
  glTranslatef(x, y - 0.13f * static_cast<float>(pictureHeight), 0.0f);
  drawTextShadowed(captionFont, viewWidth, kCaptionShadow, alpha, "%s", creditHandle(u));
}
