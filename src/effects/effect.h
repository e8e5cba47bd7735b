#pragma once
// Small drawing effects that scenes own and draw once per frame with their
// current time (music beats).
//
//   Skydome  an animated cloudy sky on a dome mesh, drawn behind a scene
//   Fader    a full-screen colour blending linearly between two colours
//            over a time window: fade-ins and fade-outs
//
// Effects load files and build shaders, so they are made while the scene
// loads, with the GL context current. Main thread only.
#include "util/objects3d/model_sgl.h"
#include "util/shaderprogram/shaderprogram.h"
#include "util/texture/texture.h"

namespace Effects {

class Effect {
 public:
  virtual ~Effect() = default;
  // Every effect overrides this; drawing the base is fatal.
  virtual void draw(float time);
};

// Draws the dome around the origin with depth testing off, so it is drawn
// first and everything else lands in front of it. Leaves its shader in use
// and unit 0 active with no 2D texture bound on units 0 and 1.
class Skydome : public Effect {
 public:
  Skydome();
  ~Skydome() override;
  Skydome(const Skydome&) = delete;
  Skydome& operator=(const Skydome&) = delete;

  // The clouds drift on to `time`: once per frame, in the scene's step.
  void step(float time);
  // The clouds as at the show's start (every dome's: they share them).
  void rewind();
  void draw(float time) override;

  // The clouds' drift, shared by every dome so the sky does not jump when
  // one scene hands over to the next. Advances by 0.005 per time unit.
  static float cloudTime;
  static constexpr float kCloudSpeed = 0.005f;

  Model_sgl model;  // unitized: centred, largest extent 2
  float bbox[4] = {0, 0, 0, 0};  // size of the unitized mesh, w unused
  Texture cloudTexture;          // unit 0
  Texture thunderTexture;
  Texture* secondTexture;        // unit 1; scenes may point it elsewhere
  ShaderProgram shader;

  float lastTime = -1.0f;  // negative until the first step
  // Set by scenes between frames.
  float scaleXZ = 1.0f;
  float scaleY = 1.0f;
  float daylight = 1.0f;
  float tex2Factor = 0.0f;
  float tex2Offset = 0.4f;
  float tex2Scale = 2.0f;
};

// Draws nothing outside [start, end]. Inside, it draws over the whole
// viewport and restores nothing (blending on; depth test, texturing,
// lighting and shaders off; identity modelview, 0..1 orthographic
// projection), so a scene draws its faders last.
class Fader : public Effect {
 public:
  Fader(float start, float end, float fromR, float fromG, float fromB, float fromA, float toR,
        float toG, float toB, float toA);

  void draw(float time) override;
  // The colour at `time`; false (and `rgba` untouched) outside the window.
  bool colourAt(float time, float rgba[4]) const;

  float start;
  float end;
  float fromColour[4];
  float toColour[4];
};

}  // namespace Effects
