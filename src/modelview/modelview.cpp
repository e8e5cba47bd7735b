// modelview: looks at a model the way the show loads it, for the people who
// make the show's models. The model is read from the plain file through the
// engine's object model; it is framed with its own camera, or with one that
// fits its bounds, and lit with its own lights, or with a default light.
//
//   modelview FILE.dae                       a window: drag to orbit, Escape to quit
//   modelview FILE.dae --out FILE.png        one picture, nothing waits for a person
//   modelview FILE.dae [--size WxH]          picture or window size (default 1280x720)
//   modelview FILE.dae --gl-debug            every GL error reported; any makes the exit code 1
#include <GL/glew.h>
#include <stb/stb_image_write.h>  // the implementation is in libstb

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "platform/video.h"
#include "util/data/data.h"
#include "util/fatal_report.h"
#include "util/gl_debug.h"
#include "util/gl_entry_points.h"
#include "util/objects3d/objects3d.h"

namespace {

struct Bounds {
  float min[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
  float max[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};

  bool empty() const { return min[0] > max[0]; }
  void add(const float p[3]) {
    for (int i = 0; i < 3; ++i) {
      min[i] = std::min(min[i], p[i]);
      max[i] = std::max(max[i], p[i]);
    }
  }
};

// Every drawn corner, placed by the node chain and the geometry's own matrix.
void addNode(const Object3D& model, const Node& node, const Matrix& parent, Bounds& bounds) {
  if (!node.enabled) return;
  Matrix world = parent * node.matrix;
  for (const auto& child : node.children) addNode(model, *child, world, bounds);
  if (!node.showGeometry) return;
  for (uint32_t index : node.geometryIndices) {
    const Geometry& geometry = model.geometries[index];
    Matrix placed = world * geometry.matrix;
    uint32_t stride = geometry.positionStride;
    for (size_t i = 0; stride && i + stride <= geometry.positionSource.size(); i += stride) {
      float local[4] = {geometry.positionSource[i], geometry.positionSource[i + 1],
                        stride > 2 ? geometry.positionSource[i + 2] : 0.0f, 1.0f};
      float p[3];
      for (int r = 0; r < 3; ++r)
        p[r] = placed[r] * local[0] + placed[4 + r] * local[1] + placed[8 + r] * local[2] +
               placed[12 + r];
      bounds.add(p);
    }
  }
}

// A camera on a sphere around the model's bounds, z up as in the show.
struct Orbit {
  float centre[3] = {0, 0, 0};
  float radius = 1.0f;
  float yaw = 35.0f;    // degrees about z
  float pitch = 20.0f;  // degrees above the horizon

  void frame(const Bounds& bounds) {
    if (bounds.empty()) return;
    float extent = 0.0f;
    for (int i = 0; i < 3; ++i) {
      centre[i] = 0.5f * (bounds.min[i] + bounds.max[i]);
      extent += (bounds.max[i] - bounds.min[i]) * (bounds.max[i] - bounds.min[i]);
    }
    radius = std::max(0.5f * std::sqrt(extent), 1e-3f);
  }

  Camera camera() const {
    const float toRadians = 3.14159265f / 180.0f;
    float distance = radius / std::sin(22.5f * toRadians) * 1.1f;
    float eye[3] = {centre[0] + distance * std::cos(pitch * toRadians) * std::cos(yaw * toRadians),
                    centre[1] + distance * std::cos(pitch * toRadians) * std::sin(yaw * toRadians),
                    centre[2] + distance * std::sin(pitch * toRadians)};
    Camera camera;
    camera.yfov = 45.0f;
    camera.znear = distance * 0.01f;
    camera.zfar = distance * 4.0f + radius;
    camera.lookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], 0, 0, 1);
    return camera;
  }
};

void draw(Object3D& model, Camera& camera, int width, int height) {
  glClearColor(0.12f, 0.13f, 0.16f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_LIGHTING);
  glEnable(GL_NORMALIZE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  camera.apply(width, height);
  if (!model.lights.empty()) {
    model.bindLights();
  } else {
    // A light over the viewer's shoulder.
    glPushMatrix();
    glLoadIdentity();
    const GLfloat position[4] = {0.4f, 0.6f, 1.0f, 0.0f};
    const GLfloat white[4] = {0.9f, 0.9f, 0.9f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHT0);
    glPopMatrix();
  }
  glPushMatrix();
  glMultMatrixf(model.matrix.data());
  model.drawNode(model.root.get(), model.root->mirrored);
  glPopMatrix();
}

bool parseSize(const char* text, int& width, int& height) {
  return text && std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0 &&
         width <= 16384 && height <= 16384;
}

int usage() {
  std::fputs("usage: modelview FILE.dae [--out FILE.png] [--size WxH] [--gl-debug]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(reportFatally);
  if (argc < 2) return usage();
  const char* file = argv[1];
  std::string out;
  int width = 1280, height = 720;
  bool glDebug = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gl-debug") == 0)
      glDebug = true;
    else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
      out = argv[++i];
    else if (std::strcmp(argv[i], "--size") == 0 && parseSize(i + 1 < argc ? argv[i + 1] : nullptr, width, height))
      ++i;
    else
      return usage();
  }
  bool headless = !out.empty();
  setMessageBoxesEnabled(!headless);

  if (!videoInit()) FATAL("Video initialization failed: %s\n", videoError().c_str());
  requestGlAttributes(headless ? 0 : 4, 1);
  requestGlDebugContext(glDebug);
  std::string caption = std::string("Tin Lantern model viewer - ") + file;
  if (!openVideoWindow(caption.c_str(), width, height, desktopFormat(), kVideoOpenGL | kVideoResizable))
    FATAL("Video mode set failed: %s\n", videoError().c_str());
  showVideoWindow();
  GLenum glew = glewInit();
  if (glew != GLEW_OK && !(glew == GLEW_ERROR_NO_GLX_DISPLAY && !videoUsesGlx()))
    FATAL("GLEW Error: %s\n", reinterpret_cast<const char*>(glewGetErrorString(glew)));
  checkGlEntryPoints();
  if (glDebug) enableGlDebug();
  drawableSize(width, height);

  dataMode = kDataPlain;  // the file as it is, not the archive
  Object3D model;
  if (!model.load(file)) FATAL("%s is not a model this engine reads (.dae or .ase)", file);

  Bounds bounds;
  addNode(model, *model.root, model.matrix, bounds);
  Orbit orbit;
  orbit.frame(bounds);
  bool ownCamera = !model.cameras.empty();
  Camera camera = ownCamera ? model.cameras[0] : orbit.camera();

  if (headless) {
    draw(model, camera, width, height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    stbi_flip_vertically_on_write(1);
    if (!stbi_write_png(out.c_str(), width, height, 3, pixels.data(), width * 3))
      FATAL("Failed to write %s", out.c_str());
    checkGlErrors();
    videoShutdown();
    return glDebugExitCode(0);
  }

  for (bool going = true; going;) {
    WindowEvent event;
    while (pollWindowEvent(event)) {
      switch (event.kind) {
        case WindowEventKind::EscapePressed:
        case WindowEventKind::Quit:
          going = false;
          break;
        case WindowEventKind::Resized:
          width = event.width;
          height = event.height;
          break;
        case WindowEventKind::Dragged:
          // Dragging leaves the model's own camera for the orbit.
          orbit.yaw -= event.width * 0.4f;
          orbit.pitch = std::max(-89.0f, std::min(89.0f, orbit.pitch + event.height * 0.4f));
          camera = orbit.camera();
          break;
        default:
          break;
      }
    }
    draw(model, camera, width, height);
    swapVideoBuffers();
    checkGlErrors();
  }
  videoShutdown();
  return glDebugExitCode(0);
}
