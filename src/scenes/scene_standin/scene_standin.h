#pragma once
// StandIn holds a slot of the timeline until its scene lands: it loads
// nothing and clears its 16:9 picture to its own colour, so the timeline can
// be watched (and tested) before the scenes exist. The robot scene's stand-in
// also shows the shared render target, as the robot's screen will, in a
// window in the middle of its picture.
#include "scenes/scene.h"

class StandIn : public Scene {
 public:
  StandIn(float red, float green, float blue, bool showsRenderTarget = false)
      : red_(red), green_(green), blue_(blue), showsRenderTarget_(showsRenderTarget) {}

  void load() override {}
  void draw() override;

 private:
  float red_, green_, blue_;
  bool showsRenderTarget_;
};
