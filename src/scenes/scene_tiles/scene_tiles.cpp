#include "scenes/scene_tiles/scene_tiles.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

#include "effects/effect.h"
#include "main_shaders.h"
#include "scenes/scene_kit.h"
#include "scenes/stage_light.h"
#include "scenes/translucent_floor.h"
#include "util/atlas_font.h"
#include "util/error.h"
#include "util/objects3d/prefabs.h"
#include "util/util.h"

using namespace TilesTiming;

namespace {

constexpr unsigned kTitleFaceSize = 110;


// A failed allocation is fatal with the array's name ("data1_normal").
template <class T>
void allocate(std::vector<T>& array, size_t count, int panel, const char* name) {
  try {
    array.assign(count, T());
  } catch (const std::bad_alloc&) {
    FATAL("Failed assert data%i_%s", panel, name);
  }
}

}  // namespace

Tiles::Tiles() {
  blend = true;
  lighting = true;
}


void Tiles::load() {
  loadLitModel(showerHead, "data/tiles/Shower Head.dae", "Failed to load shower head", *shaders);
  showerHead.matrix.translate(0.0f, 0.0f, 12.9f);
  setUpCameras();
  setUpLights();

  captionFont = fonts->get("data/common/fonts/times.ttf", 24);
  // 228 in the show's first draft: from 0.8 of the picture's height the word
  // then runs off its top.
  titleFont = fonts->get("data/common/fonts/MOVIPB__.ttf", kTitleFaceSize);

  setUpTiles();
  activeCamera = 0;
  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 1, 1, 1, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end, 0, 0, 0, 0, 0, 0, 0, 1);
  loadedView_.take(showerHead);
}

void Tiles::rewind() {
  loadedView_.restore(showerHead);
  meshT_ = 0.0f;
}

void Tiles::setUpCameras() {
  struct Set {
    float eye[3], centre[3], up[3], yfov, point, range, falloff;
  };
  const Camera defaults;
  const Set sets[5] = {
      {{5, -5, 7}, {-1, 1, 0}, {0, 0, 1}, 97.63f, 15, 20, 30},
      {{-10, -25, 1}, {0, 0, 0}, {0, 0, 1}, 65, 20, 20, 30},
      {{50, -50, 30}, {0, 0, 0}, {0, 0, 1}, 45, defaults.focusPoint, defaults.focusRange, defaults.focusFalloff},
      {{0, -70, 1}, {0, 0, 0}, {0, 1, 0}, 45, defaults.focusPoint, defaults.focusRange, defaults.focusFalloff},
      {{0, 70, 1}, {0, 0, 0}, {0, -1, 0}, 45, defaults.focusPoint, defaults.focusRange, defaults.focusFalloff},
  };
  if (showerHead.cameras.empty()) FATAL("The shower head model has no camera");
  for (const Set& set : sets) {
    Camera camera;
    camera.lookAt(set.eye[0], set.eye[1], set.eye[2], set.centre[0], set.centre[1], set.centre[2],
                  set.up[0], set.up[1], set.up[2]);
    setLens(camera, {set.yfov, 0.1f, 1000.0f}, {set.point, set.range, set.falloff});
    showerHead.cameras.push_back(camera);
  }
  // The cameras are addressed by index: the file's one, then these five.
  showerHead.cameras[0] = showerHead.cameras[2];
}

void Tiles::setUpLights() {
  for (int i = 0; i < 4; ++i) {
    if (showerHead.lights.size() < static_cast<size_t>(i) + 1) showerHead.lights.emplace_back();
    setStageLight(showerHead.lights[static_cast<size_t>(i)], 0.004f, 0.003f, 22.5f - 15.0f * static_cast<float>(i),
                  -25.0f, 14.0f * static_cast<float>(i));
  }
}

void Tiles::setUpTiles() {
  // Repeating: the wall lays one copy per tile, as each flying tile has one.
  if (!tileTexture.load("data/tiles/tile.png", true, true, GL_LINEAR, GL_LINEAR))
    FATAL("Failed to load tile texture");
  if (!tileNormalMap.load("data/tiles/tile_normalmap.png", true, true, GL_LINEAR, GL_LINEAR))
    FATAL("Failed to load tile normalmap");
  // The squid is never drawn, only read: its pixels, no texture. Four
  // bytes a pixel, a 24-bit picture with an opaque alpha.
  squidImage.decode("data/tiles/squid.png");
  const size_t count = size_t{squidImage.width} * squidImage.height;
  const size_t bytes = squidImage.bpp / 8;
  squidPixels.assign(count * 4, 255);
  for (size_t i = 0; i < count; ++i)
    std::memcpy(&squidPixels[i * 4], squidImage.imageData + i * bytes, bytes < 4 ? bytes : 4);
  std::free(squidImage.imageData);
  squidImage.imageData = nullptr;
  if (squidImage.width * squidImage.height < static_cast<uint32_t>(kMosaicWidth * kColumns))
    FATAL("The squid picture must be at least %i x %i pixels", kMosaicWidth, kColumns);

  for (int p = 0; p < 3; ++p) {
    TilePanel& panel = panels[p];
    panel.tiles = kRows[p] * kColumns;
    panel.firstRow = p == 0 ? 0 : p == 1 ? kRows[0] : kRows[0] + kRows[1];
    const size_t n = static_cast<size_t>(panel.tiles);
    allocate(panel.positions, n * 4 * 3, p, "vertex");
    allocate(panel.texcoords0, n * 4 * 2, p, "texcoords0");
    allocate(panel.tangents, n * 4 * 4, p, "texcoords1");
    allocate(panel.normals, n * 4 * 3, p, "normal");
    allocate(panel.indices, n * 6, p, "indices");
    allocate(panel.colours, n * 4 * 4, p, "colors");
  }
  tiles.reserve(static_cast<size_t>(kMosaicWidth) * kColumns);
  for (int r = 0; r < kMosaicWidth; ++r)
    for (int col = 0; col < kColumns; ++col) {
      Tile tile;
      float x = static_cast<float>(r < 74 ? r - 37 : r - 74) * kTileSize;
      float z = static_cast<float>(col) * kTileSize;
      tile.target[0] = x;
      tile.target[1] = 0.0f;
      tile.target[2] = z;
      tile.target[3] = 1.0f;
      tile.start[0] = x + randomRange(-50.0f, 50.0f);
      tile.start[1] = randomRange(-50.0f, 50.0f);
      tile.start[2] = z + randomRange(-50.0f, 50.0f);
      tile.start[3] = 1.0f;
      tile.arrival = randomRange(5.0f, 48.0f);
      tile.panel = r < kRows[0] ? 0 : r < kRows[0] + kRows[1] ? 1 : 2;
      std::memcpy(tile.current, tile.start, sizeof tile.current);
      tiles.push_back(tile);
    }
  for (int p = 0; p < 3; ++p) {
    std::vector<Tile*> ofPanel;
    std::vector<float> arrivals;
    for (Tile& tile : tiles) {
      if (tile.panel != p) continue;
      ofPanel.push_back(&tile);
      arrivals.push_back(tile.arrival);
    }
    const std::vector<int> places = placesByArrival(arrivals);
    for (size_t i = 0; i < ofPanel.size(); ++i) ofPanel[i]->place = places[i];
  }

  mosaicTexels.assign(static_cast<size_t>(kMosaicWidth) * kColumns * 4, 0);
  for (size_t i = 0; i < static_cast<size_t>(kMosaicWidth) * kColumns; ++i)
    std::memset(&mosaicTexels[i * 4], squidPixels[i * 4], 3);
  mosaic.createEmpty(kMosaicWidth, kColumns, GL_RGBA8, false);
  glBindTexture(GL_TEXTURE_2D, mosaic.id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  mosaic.minFilter = mosaic.magFilter = GL_NEAREST;
  wallShader = std::make_unique<ShaderProgram>("multi_specular_bump.vert", "tile_wall.frag");
  wallShader->use();
  wallShader->setUniform("Texture1", 0);
  wallShader->setUniform("NormalMap", 1);
  wallShader->setUniform("Mosaic", 2);
  glUseProgramObjectARB(0);
}

void Tiles::resizeView(int width, int height) {
  Scene::resizeView(width, height);
  depthOfField.resize(width, height);
}

void Tiles::step(const FrameTime& time) {
  const float t = time.slotBeat;
  if (t < kFlyInEnd) meshT_ = t;
  // The view: camera 0 is the blend of two of the others.
  const CameraBlend motion = cameraBlend(t);
  Camera::blend(showerHead.cameras[static_cast<size_t>(motion.from)],
                showerHead.cameras[static_cast<size_t>(motion.to)], motion.factor, showerHead.cameras[0]);
}

void Tiles::updateTiles(float t) {
  for (TilePanel& panel : panels) panel.arrived = 0;
  for (size_t k = 0; k < tiles.size(); ++k) {
    Tile& tile = tiles[k];
    tilePosition(tile.start, tile.target, tile.arrival, t, tile.current);
    TilePanel& panel = panels[tile.panel];
    // The squid's pixels and the mosaic's texels share their order.
    const int r = static_cast<int>(k) / kColumns, col = static_cast<int>(k) % kColumns;
    const size_t pixel = static_cast<size_t>(mosaicPixel(r, col)) * 4;
    const bool arrived = hasArrived(tile.arrival, t);
    if (arrived) ++panel.arrived;
    mosaicTexels[pixel + 3] = arrived ? 255 : 0;
    const size_t j = static_cast<size_t>(tile.place);
    const float x = tile.current[0], y = tile.current[1], z = tile.current[2], s = kTileSize;
    const float corners[4][3] = {{x, y, z}, {x + s, y, z}, {x, y, z + s}, {x + s, y, z + s}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const float g = squidPixels[pixel] / 255.0f;
    for (int v = 0; v < 4; ++v) {
      const size_t at = j * 4 + static_cast<size_t>(v);
      std::memcpy(&panel.positions[at * 3], corners[v], sizeof corners[v]);
      std::memcpy(&panel.texcoords0[at * 2], uv[v], sizeof uv[v]);
      const float tangent[4] = {1, 0, 0, 1}, normal[3] = {0, -1, 0}, colour[4] = {g, g, g, 1};
      std::memcpy(&panel.tangents[at * 4], tangent, sizeof tangent);
      std::memcpy(&panel.normals[at * 3], normal, sizeof normal);
      std::memcpy(&panel.colours[at * 4], colour, sizeof colour);
    }
    const uint32_t base = static_cast<uint32_t>(j * 4);
    const uint32_t quad[6] = {base, base + 1, base + 2, base + 2, base + 3, base + 1};
    std::memcpy(&panel.indices[j * 6], quad, sizeof quad);
  }
  for (int p = 0; p < 3; ++p) {
    TilePanel& panel = panels[p];
    const std::vector<float>* arrays[5] = {&panel.positions, &panel.normals, &panel.texcoords0,
                                           &panel.tangents, &panel.colours};
    GLsizeiptr total = 0;
    for (const auto* array : arrays) total += static_cast<GLsizeiptr>(array->size() * 4);
    const bool fresh = !panel.vertexBuffer;
    if (fresh) {
      glGenBuffers(1, &panel.vertexBuffer);
      glGenBuffers(1, &panel.indexBuffer);
      if (!panel.vertexBuffer) FATAL("Failed assert tiles%i_vbo_id", p);
      if (!panel.indexBuffer) FATAL("Failed assert tiles%i_ibo_id", p);
      // Only the positions move: the indices and the other four arrays are
      // the same every frame. The store is sized once and then overwritten
      // in place, so the driver keeps its storage from frame to frame.
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, panel.indexBuffer);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(panel.indices.size() * 4),
                   panel.indices.data(), GL_DYNAMIC_DRAW);
      glBindBuffer(GL_ARRAY_BUFFER, panel.vertexBuffer);
      glBufferData(GL_ARRAY_BUFFER, total, nullptr, GL_DYNAMIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, panel.vertexBuffer);
    GLintptr offset = 0;
    for (const auto* array : arrays) {
      if (fresh) {
        glBufferSubData(GL_ARRAY_BUFFER, offset, static_cast<GLsizeiptr>(array->size() * 4), array->data());
      } else if (array == &panel.positions) {
        // The flying tiles' only: the arrived ones are drawn by the wall.
        const size_t first = static_cast<size_t>(panel.arrived) * 4 * 3;
        glBufferSubData(GL_ARRAY_BUFFER, offset + static_cast<GLintptr>(first * 4),
                        static_cast<GLsizeiptr>((array->size() - first) * 4), array->data() + first);
      }
      offset += static_cast<GLintptr>(array->size() * 4);
    }
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindTexture(GL_TEXTURE_2D, mosaic.id);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kMosaicWidth, kColumns, GL_RGBA, GL_UNSIGNED_BYTE, mosaicTexels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  builtT_ = t;
}

void Tiles::draw(const FrameTime& time) {
  const float t = time.slotBeat;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // No depth clear of the window: the tiles are drawn into the
  // depth-of-field target, which starts cleared, and the window only gets
  // the composed picture and the caption, none of them depth tested.

  glMultMatrixf(showerHead.matrix.data());
  showerHead.cameras[activeCamera].apply(viewWidth, viewHeight);
  showerHead.bindLights();

  // The meshes show the last fly-in beat; rebuilt only when that changes.
  if (builtT_ != meshT_) updateTiles(meshT_);

  depthOfField.renderOnGlassFloor(*shaders, showerHead.cameras[0], [this, t](bool) {
    drawTiles(t);
    drawShowerHead(t);
  });
  drawCaption(t);
  const float beat = time.beat;
  fadeIn->draw(beat);
  fadeOut->draw(beat);
}

void Tiles::drawTiles(float t) {
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(1, 1, 1, 1);
  ShaderProgram& bump = *shaders->multi_specular_bump;
  bump.use();
  bump.setUniform("Num_lights", static_cast<int>(showerHead.lights.size()));
  bump.setUniform("Texture1", 0);
  bump.setUniform("NormalMap", 1);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(tileTexture.target(), tileTexture.id);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(tileNormalMap.target(), tileNormalMap.id);
  glActiveTexture(GL_TEXTURE0);

  const float a = foldAngle(t);
  const float s = kTileSize;
  // The side panels turn about their inner edges as they fold up.
  const auto placePanel = [a, s](int p) {
    if (p == 0) glRotatef(a, 0, 0, 1);
    if (p == 2) {
      glTranslatef(kRows[1] * s, 0, 0);
      glRotatef(-a, 0, 0, 1);
    }
  };
  glPushMatrix();
  glTranslatef(-kRows[1] * s * 0.5f, 0.0f, 0.0f);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  for (int unit : {0, 1}) {
    glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  for (int p = 0; p < 3; ++p) {
    const TilePanel& panel = panels[p];
    if (!panel.vertexBuffer) continue;
    const size_t positions = panel.positions.size() * 4, normals = panel.normals.size() * 4,
                 uvs = panel.texcoords0.size() * 4, tangents = panel.tangents.size() * 4;
    glBindBuffer(GL_ARRAY_BUFFER, panel.vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, panel.indexBuffer);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void*>(positions));
    glClientActiveTexture(GL_TEXTURE0);
    glTexCoordPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(positions + normals));
    glClientActiveTexture(GL_TEXTURE1);
    glTexCoordPointer(4, GL_FLOAT, 0, reinterpret_cast<const void*>(positions + normals + uvs));
    glColorPointer(4, GL_FLOAT, 0, reinterpret_cast<const void*>(positions + normals + uvs + tangents));
    glPushMatrix();
    placePanel(p);
    const size_t flying = static_cast<size_t>(panel.tiles - panel.arrived) * 6;
    if (flying > 0)
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(flying), GL_UNSIGNED_INT,
                     reinterpret_cast<const void*>(static_cast<size_t>(panel.arrived) * 6 * sizeof(uint32_t)));
    glPopMatrix();
  }
  for (int unit : {1, 0}) {
    glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

  wallShader->use();
  wallShader->setUniform("Num_lights", static_cast<int>(showerHead.lights.size()));
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, mosaic.id);
  glActiveTexture(GL_TEXTURE0);
  for (int p = 0; p < 3; ++p) {
    // Before its first tile arrives, unseen: the renderer is ready for it.
    std::optional<UnseenDraws> unseen;
    if (panels[p].arrived == 0) unseen.emplace();
    glPushMatrix();
    placePanel(p);
    drawWall(p);
    glPopMatrix();
  }
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  bump.use();
  // The backing boxes after the tiles in front of them: what the tiles
  // cover is not shaded twice. They show from the fold on; before it they
  // are drawn unseen, so that the renderer is ready for them when they do.
  {
    std::optional<UnseenDraws> unseen;
    if (t <= kFlyInEnd) unseen.emplace();
    glColor4f(0.1f, 0.1f, 0.1f, 1.0f);
    glPushMatrix();
    glRotatef(a, 0, 0, 1);
    glTranslatef(-0.5f * kRows[0] * s, boxLift + 1.0f, 0.5f * kColumns * s);
    drawBox(kRows[0] * s, kColumns * s);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(kRows[1] * s, 0, 0);
    glRotatef(-a, 0, 0, 1);
    glTranslatef(0.5f * kRows[2] * s, boxLift + 1.0f, 0.5f * kColumns * s);
    drawBox(kRows[2] * s, kColumns * s);
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
  }

  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glPopMatrix();
}

void Tiles::drawWall(int p) {
  const TilePanel& panel = panels[p];
  const float s = kTileSize;
  const int rows = kRows[p];
  // Where its first row's tiles land, as in setUpTiles.
  const float x0 = static_cast<float>(panel.firstRow < 74 ? panel.firstRow - 37 : panel.firstRow - 74) * s;
  const float x1 = x0 + static_cast<float>(rows) * s, z1 = static_cast<float>(kColumns) * s;
  wallShader->setUniform("MosaicPlace", 1.0f / kMosaicWidth, 1.0f / kColumns,
                         static_cast<float>(panel.firstRow) / kMosaicWidth, 0.0f);
  // The tiles' corners, texture coordinates counted in tiles, and their
  // triangles and normal and tangent.
  const float corners[4][4] = {{x0, 0, 0, 0},
                               {x1, 0, static_cast<float>(rows), 0},
                               {x0, z1, 0, static_cast<float>(kColumns)},
                               {x1, z1, static_cast<float>(rows), static_cast<float>(kColumns)}};
  glNormal3f(0, -1, 0);
  glMultiTexCoord4f(GL_TEXTURE1, 1, 0, 0, 1);
  glBegin(GL_TRIANGLES);
  for (int v : {0, 1, 2, 2, 3, 1}) {
    glMultiTexCoord4f(GL_TEXTURE0, corners[v][2], corners[v][3], 0, 1);
    glVertex3f(corners[v][0], 0, corners[v][1]);
  }
  glEnd();
}

void Tiles::drawShowerHead(float t) {
  glTranslatef(0.0f, -4.0f, showerHeadZ(t));
  glRotatef(180.0f, 0, 0, 1);
  showerHead.draw();
}

void Tiles::drawCaption(float t) {
  beginCaption();
  const float alpha = captionAlpha(t);
  glColor4f(1, 1, 1, alpha);
  if (!captionShown(t)) return;
  glTranslatef(static_cast<float>(viewWidth) * 0.02f, static_cast<float>(pictureHeight) * 0.8f, 0.0f);
  drawTextShadowed(titleFont, viewWidth, 3.5f, alpha, "Wild");
}
