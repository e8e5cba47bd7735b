#include "effects/effect.h"

#include "util/camera/projection.h"

#include "util/error.h"

namespace Effects {

void Effect::draw(float) { FATAL_SHORT(); }

float Skydome::cloudTime = 0.0f;

namespace {
const float kHorizon[4] = {0.9f, 0.7f, 0.7f, 1.0f};
}  // namespace

Skydome::Skydome()
    : cloudTexture("data/effects/skydome/cloud.png"),
      thunderTexture("data/effects/skydome/thunder0.jpg"),
      secondTexture(&thunderTexture),
      shader("data/effects/skydome/skydome.vert", "data/effects/skydome/skydome.frag") {
  model.load("data/effects/skydome/sky.sgl");
  model.unitize();
  model.getSize(bbox[0], bbox[1], bbox[2]);
  bbox[3] = 0.0f;
}

Skydome::~Skydome() { model.release(); }

void Skydome::step(float time) {
  // The first frame only sets the reference, so a dome created late does
  // not jump the shared clouds by the whole show time.
  if (lastTime < 0.0f) lastTime = time;
  cloudTime += (time - lastTime) * kCloudSpeed;
  lastTime = time;
}

void Skydome::rewind() {
  cloudTime = 0.0f;
  lastTime = -1.0f;
}

void Skydome::draw(float) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glScalef(scaleXZ, scaleY, scaleXZ);
  glDisable(GL_DEPTH_TEST);

  shader.use();
  shader.setUniform("time", cloudTime);
  shader.setUniform("horizon", kHorizon[0], kHorizon[1], kHorizon[2], kHorizon[3]);
  shader.setUniform("bbox", bbox[0], bbox[1], bbox[2], bbox[3]);
  shader.setUniform("s_texture_0", 0);
  shader.setUniform("s_texture_1", 1);
  shader.setUniform("daylight", daylight);
  shader.setUniform("tex2_factor", tex2Factor);
  shader.setUniform("tex2_scale", tex2Scale);
  shader.setUniform("tex2_offset", tex2Offset);

  cloudTexture.bind();
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glBindTexture(GL_TEXTURE_2D, secondTexture->id);
  model.draw();

  glActiveTextureARB(GL_TEXTURE1_ARB);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, 0);
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();
}

Fader::Fader(float start, float end, float fromR, float fromG, float fromB, float fromA,
             float toR, float toG, float toB, float toA)
    : start(start),
      end(end),
      fromColour{fromR, fromG, fromB, fromA},
      toColour{toR, toG, toB, toA} {}

bool Fader::colourAt(float time, float rgba[4]) const {
  if (!(start <= time && time <= end)) return false;
  // An empty window (start == end) shows the target colour, not 0 / 0.
  const float t = end > start ? (time - start) / (end - start) : 1.0f;
  for (int i = 0; i < 4; ++i) rgba[i] = fromColour[i] * (1.0f - t) + toColour[i] * t;
  return true;
}

void Fader::draw(float time) {
  float c[4];
  if (!colourAt(time, c)) return;

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4fv(c);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_COLOR_MATERIAL);
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glUseProgramObjectARB(0);

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  multiplyOrtho2D(0, 1, 0, 1);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(1, 0);
  glVertex2f(1, 1);
  glVertex2f(0, 1);
  glEnd();
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace Effects
