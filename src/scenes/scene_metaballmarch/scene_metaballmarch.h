#pragma once
// Metaballmarch: four chrome metaballs that attract each other and the
// origin, rebuilt every frame by marching cubes and drawn, reflecting the
// Glacier2 sky, over whatever the shared render target already holds (the
// code scroller's listing). The robot scene shows the result on its monitor.
#include <memory>

#include "scenes/scene.h"
#include "util/marching_cubes/marching_cubes.h"
#include "scenes/scene_metaballmarch/metaballs.h"
#include "util/shaderprogram/shaderprogram.h"
#include "util/texture/texturecube.h"

class Metaballmarch : public Scene {
 public:
  void load() override;
  void step(const FrameTime& time) override;  // the balls move by the frame's beat step
  void rewind() override;
  void draw(const FrameTime& time) override;

  std::unique_ptr<ShaderProgram> shader;
  TextureCube environment;
  std::unique_ptr<MarchingCubes> engine;
  Ball balls[kBallCount];
};
