#pragma once
// Scene: the base of every part of the show.
//
// A scene owns its time slot on the timeline (in beats), borrows the shared
// resources the Demo hands out, and declares the OpenGL state it expects at
// the start of each of its frames. The Demo resets that state before every
// draw, so no scene depends on what the previous one left behind.
#include <GL/glew.h>

class Music;
class ShaderLibrary;
class FBO;
class AsciiEngine;

class Scene {
 public:
  Scene() = default;
  virtual ~Scene() = default;

  // Reads every asset of the scene; called once, after the slot and the
  // shared references are set. Every scene must override it.
  virtual void load();
  // Draws one frame; called while the show time lies in [start, end].
  // Every scene must override it.
  virtual void draw();
  // Called once at teardown.
  virtual void release() {}
  // Sets viewport and projection; called every frame before draw. The base
  // gives the letterboxed 16:9 perspective view.
  virtual void resizeView(int width, int height);

  // Puts the OpenGL state to the scene's declared defaults, then undoes
  // whatever else a scene may have changed (resetLeftovers).
  void resetState();
  // The rest of the state a scene can leave behind: the window's back buffer
  // as the target with every channel and depth written, no scissor, stencil,
  // alpha test or polygon offset, additive blend equation, filled polygons
  // culled at the back with counter-clockwise fronts, lines and points of
  // one pixel, a white current colour, a dull black material besides what
  // colour material tracks, no texture bound on units 0 to kTextureUnits - 1
  // and no fixed-function texturing on units above 0, no buffer or client
  // array bound for vertex data.
  static void resetLeftovers();
  // Texture units the scenes use (0 colour, 1 second texture, 2 depth, and
  // the depth-of-field and robot passes up to 7).
  static constexpr GLint kTextureUnits = 8;
  // Flat 2D drawing in pixels of the picture: ARB programs and GLSL off,
  // depth test and lighting off, an orthographic projection over
  // 0..viewWidth x 0..pictureHeight and an identity modelview.
  void beginFlat2D() const;

  // The declared starting state: a derived scene changes these in its
  // constructor or load.
  GLenum shadeModel = GL_SMOOTH;

  float start = -10.0f;  // first beat of the slot (the Demo overwrites it)
  float end = 5000.0f;   // last beat of the slot (the Demo overwrites it)

  // Shared resources, owned by the Demo.
  Music* music = nullptr;
  ShaderLibrary* shaders = nullptr;
  FBO* renderTarget = nullptr;
  AsciiEngine* ascii = nullptr;

  // Set by resizeView.
  float aspect = 16.0f / 9.0f;  // always the picture's 16:9
  int viewWidth = 0;
  int viewHeight = 0;
  int pictureHeight = 0;  // the 16:9 picture's height: viewWidth x 0.5625

  // Capabilities the state reset enables (on) or disables (off).
  bool blend = false;
  bool colorMaterial = true;
  bool cullFace = false;
  bool depthTest = true;
  bool lights[8] = {true, false, false, false, false, false, false, false};
  bool lighting = false;
  bool multisample = true;
  bool normalize = true;
  bool texture1D = false;
  bool texture2D = true;
  bool textureCubeMap = false;
};
