#pragma once
// What the scenes share besides the base: their fonts, their cameras'
// lenses, and loading a model for lit drawing. The glass floor's two
// passes are in translucent_floor.h.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/camera/camera.h"
#include "util/lights/light.h"

class AtlasFont;
class Object3D;
class ShaderLibrary;

// Every font of the show, one per file and face size, made while the scenes
// load and owned here for the show's lifetime (the Demo owns the library).
// Scenes keep the pointers `get` gives them and never free them.
class FontLibrary {
 public:
  FontLibrary();
  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // The font from the data file at that face size, loaded on the first
  // request; a font that cannot be read is fatal.
  AtlasFont* get(const char* path, unsigned faceSize);
  // The file changed (maker mode): the next request loads it again. The
  // fonts made from it so far stay alive for those that hold them.
  void forget(const std::string& path);

 private:
  std::map<std::pair<std::string, unsigned>, std::unique_ptr<AtlasFont>> fonts_;
  std::vector<std::unique_ptr<AtlasFont>> retired_;
};

// A camera's lens: the vertical field of view in degrees and the clip planes.
struct Lens {
  float yfov;
  float znear;
  float zfar;
};
// Where the depth of field is sharp: the distance in focus, how far around
// it stays sharp, and over how much more it blurs fully.
struct Focus {
  float point;
  float range;
  float falloff;
};
// A camera's own values: the depth of field's defaults.
constexpr Focus kUnsetFocus = {-1.0f, -1.0f, -1.0f};

void setLens(Camera& camera, const Lens& lens);
void setFocus(Camera& camera, const Focus& focus);
inline void setLens(Camera& camera, const Lens& lens, const Focus& focus) {
  setLens(camera, lens);
  setFocus(camera, focus);
}

// Loads a model for the scenes' lit drawing with material colours and
// textures (the shader library's multi-material programs); `failure` is
// the fatal report when it cannot be loaded.
void loadLitModel(Object3D& model, const char* path, const char* failure, const ShaderLibrary& shaders);

// A model's cameras and lights as load left them, for a scene whose step
// moves them: taken at the end of load, put back on rewind.
class ViewSnapshot {
 public:
  void take(const Object3D& model);
  void restore(Object3D& model) const;

 private:
  std::vector<Camera> cameras_;
  std::vector<Light> lights_;
};
