#include "scenes/scene_kit.h"

#include "main_shaders.h"
#include "util/atlas_font.h"
#include "util/camera/camera.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/objects3d/objects3d.h"
#include "util/util.h"

FontLibrary::FontLibrary() = default;
FontLibrary::~FontLibrary() = default;

AtlasFont* FontLibrary::get(const char* path, unsigned faceSize) {
  std::unique_ptr<AtlasFont>& font = fonts_[{path, faceSize}];
  if (font) {
    noteFileUse(path);  // read before: its reader is told all the same
  } else {
    font = loadFont(path, faceSize);
  }
  return font.get();
}

void FontLibrary::forget(const std::string& path) {
  for (auto it = fonts_.begin(); it != fonts_.end();) {
    if (it->first.first == path) {
      if (it->second) retired_.push_back(std::move(it->second));
      it = fonts_.erase(it);
    } else {
      ++it;
    }
  }
}

void setLens(Camera& camera, const Lens& lens) {
  camera.yfov = lens.yfov;
  camera.znear = lens.znear;
  camera.zfar = lens.zfar;
}

void setFocus(Camera& camera, const Focus& focus) {
  camera.focusPoint = focus.point;
  camera.focusRange = focus.range;
  camera.focusFalloff = focus.falloff;
}

void loadLitModel(Object3D& model, const char* path, const char* failure, const ShaderLibrary& shaders) {
  if (!model.load(path)) FATAL("%s", failure);
  model.plainShader = shaders.multi_material_notex;
  model.texturedShader = shaders.multi_material_tex;
}

void ViewSnapshot::take(const Object3D& model) {
  cameras_ = model.cameras;
  lights_ = model.lights;
}

void ViewSnapshot::restore(Object3D& model) const {
  model.cameras = cameras_;
  model.lights = lights_;
}
