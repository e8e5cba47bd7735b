#pragma once
// Tiles: about nine thousand glazed tiles fly in from scattered places and
// settle into three panels that make a squid mosaic; then the side panels
// fold up into walls, a shower head comes down and the camera glides on.
// Seen through the depth-of-field pipeline, with a mirrored copy under the
// translucent floor; the caption "Wild"; a fade in from white and out to black.
#include <memory>
#include <vector>

#include "scenes/depth_of_field.h"
#include "scenes/scene.h"
#include "scenes/scene_kit.h"
#include "scenes/scene_tiles/tiles_timing.h"
#include "util/objects3d/objects3d.h"
#include "util/texture/texture.h"

class AtlasFont;
namespace Effects {
class Fader;
}

// One panel's mesh: four vertices and six indices per tile, refilled while
// the tiles fly, in one vertex and one index buffer.
struct TilePanel {
  int tiles = 0;
  std::vector<float> positions, texcoords0, tangents, normals, colours;
  std::vector<uint32_t> indices;
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
};

struct Tile {
  float start[4];
  float target[4];
  float current[4];
  float arrival;
};

class Tiles : public Scene {
 public:
  Tiles();

  void load() override;
  // Remembers the last fly-in beat the meshes must show; the view's blend.
  void step(const FrameTime& time) override;
  void rewind() override;
  void draw(const FrameTime& time) override;
  void resizeView(int width, int height) override;

  unsigned activeCamera = 0;
  Object3D showerHead;
  DepthOfField depthOfField;
  AtlasFont* captionFont = nullptr;
  AtlasFont* titleFont = nullptr;
  std::unique_ptr<Effects::Fader> fadeIn;
  std::unique_ptr<Effects::Fader> fadeOut;
  Texture tileTexture;
  Texture tileNormalMap;
  Texture squidImage;
  std::vector<uint8_t> squidPixels;
  float boxLift = 0.02f;
  TilePanel panels[3];
  std::vector<Tile> tiles;

 private:
  void setUpCameras();
  void setUpLights();
  void setUpTiles();
  void updateTiles(float t);
  void drawTiles(float t);
  void drawShowerHead(float t);
  void drawCaption(float t);

  float meshT_ = 0.0f;   // the fly-in beat the meshes must show (state)
  float builtT_ = -1.0f; // the one they show now (negative: never built)
  ViewSnapshot loadedView_;  // camera 0 before the blends move it
};
