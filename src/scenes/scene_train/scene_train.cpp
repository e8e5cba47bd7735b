#include "scenes/scene_train/scene_train.h"


#include "effects/effect.h"
#include "main_shaders.h"
#include "scenes/model_parts.h"
#include "scenes/plywood_floor.h"
#include "scenes/scene_kit.h"
#include "scenes/stage_light.h"
#include "util/atlas_font.h"
#include "util/error.h"
#include "util/util.h"

namespace {

// The captions' size: the longest line fits the picture from 5 % of its
// width. The font is rendered at that size (a larger face scaled down loses
// the letters' thin strokes), so it is drawn unscaled.
constexpr unsigned kCaptionFaceSize = 60;
constexpr float kCaptionShadow = 2.0f;

namespace Parts = ModelParts::Train;
const char* const kFixedRails[] = {Parts::FixedRail1, Parts::FixedRail2, Parts::FixedRail3, Parts::FixedRail4,
                                   Parts::FixedRail5, Parts::FixedRail6, Parts::FixedRail7};

// The sky cube: its corners are its texture coordinates.
const GLfloat kSkyCorners[8][3] = {{-5, 5, 5},  {5, 5, 5},  {-5, -5, 5},  {5, -5, 5},
                                   {-5, 5, -5}, {5, 5, -5}, {-5, -5, -5}, {5, -5, -5}};
const GLushort kSkyTriangles[36] = {0, 1, 2, 1, 3, 2, 1, 5, 3, 5, 7, 3, 5, 4, 7, 4, 6, 7,
                                    4, 0, 6, 0, 2, 6, 4, 5, 0, 5, 1, 0, 2, 3, 6, 3, 7, 6};

// The close cameras' wide lens and the far ones'; the sky is a thousand away.
constexpr Lens kWideLens = {97.63f, 0.1f, 10000.0f};
constexpr Lens kLongLens = {45.0f, 0.1f, 10000.0f};

}  // namespace

Train::Train() {
  blend = true;
  lighting = false;
}


void Train::load() {
  loadLitModel(model, "data/train/train.dae", "Failed to load train", *shaders);
  model.matrix = Matrix::identity();
  model.matrix.translate(0.0f, 0.0f, 1.0f);

  captionFont = fonts->get("data/common/fonts/MOVIPB__.ttf", kCaptionFaceSize);

  if (!skyCube.load()) FATAL("Failed to load cubemap!");
  if (!floorTexture.load(kPlywoodFloorTexture, true, true, GL_LINEAR, GL_LINEAR))
    FATAL("Failed to load floor");

  // What each drawing of a track shows (see drawTrack): the fixed pieces
  // under the train's start, one falling rail, the train on its rail.
  fixedTrack_.emplace(model);
  fixedTrack_->enable(Parts::Body, false);
  fallingRail_.emplace(*fixedTrack_);
  for (const char* name : kFixedRails) fallingRail_->showNodeGeometry(name, false);
  train_.emplace(*fallingRail_);
  train_->showNodeGeometry(Parts::Rail, false).enable(Parts::Body, true);
  // The falling rail's box, for leaving out those out of sight.
  if (!model.shownBounds(*fallingRail_, railMin, railMax)) FATAL("The train model has no falling rail");

  segment = 0;
  setUpCameras();
  setUpLights();
  resetRails();

  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 0, 0, 0, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end, 0, 0, 0, 0, 0, 0, 0, 1);
}

void Train::setUpCameras() {
  if (model.cameras.empty()) FATAL("The train model has no camera");
  setLens(model.cameras.back(), kWideLens, {35.0f, 30.0f, 20.0f});
  Camera camera;
  camera.lookAt(5, -5, 7, -1, 1, 0, 0, 0, 1);
  setLens(camera, kWideLens, {45.0f, 30.0f, 20.0f});
  model.cameras.push_back(camera);
  camera = Camera();
  setLens(camera, kWideLens, {45.0f, 30.0f, 20.0f});
  model.cameras.push_back(camera);
  const float eyes[3][3] = {{50, -50, 30}, {-70, 0, 1}, {70, 0, 1}};
  for (const auto& eye : eyes) {
    Camera far;
    far.lookAt(eye[0], eye[1], eye[2], 0, 0, 0, 0, 0, 1);
    setLens(far, kLongLens, kUnsetFocus);
    model.cameras.push_back(far);
  }
  activeCamera = 0;
}

void Train::setUpLights() {
  for (int i = 0; i < 4; ++i) {
    if (model.lights.size() < static_cast<size_t>(i) + 1) model.lights.emplace_back();
    setStageLight(model.lights[static_cast<size_t>(i)], 0.00005f, 0.00005f, -5.0f,
                  150.0f - 150.0f * static_cast<float>(i), 10.0f);
  }
}

void Train::resetRails() {
  trackY = TrainTiming::kTrackY;
  railSpacing = TrainTiming::kRailSpacing;
  for (int i = 0; i < TrainTiming::kRails; ++i) railHeights[i] = TrainTiming::railStartHeight(i);
}

void Train::resizeView(int width, int height) {
  Scene::resizeView(width, height);
  depthOfField.resize(width, height);
}

void Train::step(const FrameTime& time) {
  if (!started_) {
    segmentStart = start;  // once for the whole run
    started_ = true;
  }
  TrainTiming::SegmentStep now = TrainTiming::stepSegment(time.beat, segmentStart);
  if (now.newSegment) {
    ++segment;
    resetRails();
    activeCamera = TrainTiming::cameraForSegment(segment, activeCamera);
  }
  segmentStart = now.segmentStart;
  segmentT = now.t;
  trainY = TrainTiming::trainY(segmentT);
  // Each track lowers the rails once more, and draws them where it leaves them.
  for (int track = 0; track < 3; ++track)
    for (int i = 0; i < TrainTiming::kRails; ++i) {
      railHeights[i] = TrainTiming::lowerRail(railHeights[i], time.beatStep);
      drawnHeights[track][i] = railHeights[i];
    }
}

void Train::rewind() {
  started_ = false;
  segment = 0;
  segmentStart = 0.0f;
  segmentT = 0.0f;
  trainY = 20.0f;
  activeCamera = 0;
  resetRails();
  for (auto& heights : drawnHeights)
    for (float& height : heights) height = 0.0f;
}

void Train::draw(const FrameTime& time) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // The stencil with the depth: nothing uses it, and a depth clear that must
  // keep it costs three times as much on a multisampled window (llvmpipe).
  glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  // The three camera paths, from the segment's time.
  for (int c = 0; c < 3 && static_cast<size_t>(c) < model.cameras.size(); ++c) {
    TrainTiming::LookAt path = TrainTiming::cameraPath(c, segmentT);
    model.cameras[static_cast<size_t>(c)].lookAt(path.eye[0], path.eye[1], path.eye[2],
                                                 path.centre[0], path.centre[1], path.centre[2],
                                                 0, 0, 1);
  }

  glMultMatrixf(model.matrix.data());
  const bool haveCamera = activeCamera < model.cameras.size();
  if (haveCamera) model.cameras[activeCamera].apply(viewWidth, viewHeight);
  model.bindLights();

  drawSky();
  drawPlywoodFloor(*shaders, floorTexture);
  if (haveCamera) {
    depthOfField.render(*shaders, model.cameras[activeCamera], [this] {
      BackFaceCulling culling;
      glTranslatef(0.0f, trackY, 0.0f);
      drawTrack(0);
      glTranslatef(-10.0f, -5.0f, 0.0f);
      drawTrack(1);
      glTranslatef(-10.0f, 15.0f, 0.0f);
      drawTrack(2);
    });
  }
  drawCaption(time.slotBeat);

  const float beat = time.beat;
  fadeIn->draw(beat);
  fadeOut->draw(beat);
}

void Train::drawSky() {
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_CUBE_MAP);
  glBindTexture(GL_TEXTURE_CUBE_MAP, skyCube.cube.id);
  glUseProgramObjectARB(0);  // entry 23: the fixed function
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glPushMatrix();
  glScalef(1000.0f, 1000.0f, 1000.0f);
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glClientActiveTexture(GL_TEXTURE0);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, kSkyCorners);
  glTexCoordPointer(3, GL_FLOAT, 0, kSkyCorners);
  glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_SHORT, kSkyTriangles);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  glDisable(GL_TEXTURE_CUBE_MAP);
}

void Train::drawTrack(int track) {
  // The fixed pieces under the train's start.
  model.draw(*fixedTrack_);

  // The falling pieces ahead of it: the first piece alone, moved. Those
  // wholly out of sight are left out (most of them, in the close views).
  Matrix projection, modelview;
  glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
  const Matrix trackView = projection * modelview;
  for (int i = 0; i < TrainTiming::kRails; ++i) {
    const float offset[3] = {0.0f, -static_cast<float>(i + 1) * railSpacing, drawnHeights[track][i]};
    const float min[3] = {railMin[0] + offset[0], railMin[1] + offset[1], railMin[2] + offset[2]};
    const float max[3] = {railMax[0] + offset[0], railMax[1] + offset[1], railMax[2] + offset[2]};
    if (boxOutsideClipVolume(trackView, min, max)) continue;
    glPushMatrix();
    glTranslatef(offset[0], offset[1], offset[2]);
    model.draw(*fallingRail_);
    glPopMatrix();
  }

  // The train.
  glPushMatrix();
  glTranslatef(0.0f, trainY, 0.0f);
  model.draw(*train_);
  glPopMatrix();
}

void Train::drawCaption(float u) {
  beginCaption();

  const char* line = TrainTiming::captionLine(u);
  if (!line) return;
  const float alpha = TrainTiming::captionAlpha(u);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glTranslatef(0.05f * static_cast<float>(viewWidth), 0.15f * static_cast<float>(pictureHeight), 0.0f);
  drawTextShadowed(captionFont, viewWidth, kCaptionShadow, alpha, "%s", line);
}
