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
// the tiles fly, in one vertex and one index buffer. The tiles take their
// places in it in the order they arrive, so the ones still flying are the
// last `tiles - arrived`: only those are drawn one by one (and refilled);
// the arrived ones are drawn as one quad over the whole panel (the wall).
struct TilePanel {
  int tiles = 0;
  int firstRow = 0;  // of the mosaic's 113
  int arrived = 0;   // at the beat the mesh shows
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
  int panel;  // 0 to 2
  int place;  // in the panel's mesh: its rank in arrival order
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
  // A texel per tile, at (row, column): its grey, alpha 255 once it has
  // arrived (at the beat the mesh shows); the wall's colours and mask.
  Texture mosaic;
  std::vector<uint8_t> mosaicTexels;
  std::unique_ptr<ShaderProgram> wallShader;
  float boxLift = 0.02f;
  TilePanel panels[3];
  std::vector<Tile> tiles;

 private:
  void setUpCameras();
  void setUpLights();
  void setUpTiles();
  void updateTiles(float t);
  void drawTiles(float t);
  // The arrived tiles of panel p as one quad, in the panel's frame.
  void drawWall(int p);
  void drawShowerHead(float t);
  void drawCaption(float t);

  float meshT_ = 0.0f;   // the fly-in beat the meshes must show (state)
  float builtT_ = -1.0f; // the one they show now (negative: never built)
  ViewSnapshot loadedView_;  // camera 0 before the blends move it
};
