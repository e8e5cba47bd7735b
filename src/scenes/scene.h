#pragma once
// Scene: the base of every part of the show.
//
// A scene owns its time slot on the timeline (in beats), borrows the shared
// resources the Demo hands out, and declares the OpenGL state it expects at
// the start of each of its frames. The Demo resets that state before every
// draw, so no scene depends on what the previous one left behind.
//
// The rule for per-frame state. Anything a scene keeps from one frame to
// the next (positions integrated with the frame's beatStep, a beat remembered
// from its first frame, counters, random numbers drawn per frame, a canvas
// painted into) changes in `step`, never in `draw`: `draw` only reads that
// state and the frame's time. The Demo reads the clock once per frame into
// a FrameTime (frame_time.h) and hands it to `step` and `draw`; it calls
// `step` once per frame for every scene whose slot holds the clock, just
// before its `draw`. When the show starts
// at a later beat (--start, --frame), the Demo first runs the frames from
// the show's beginning at a fixed frame rate with `step` alone and no
// drawing, so the first drawn frame shows exactly what a run from the
// beginning shows there. To go back (a seek in maker mode), the Demo calls
// every scene's `rewind`, which puts that state back as `load` left it, and
// catches up again from the beginning. `step` is therefore cheap: no geometry building,
// no drawing, only the state changes. State that lives in OpenGL (a
// texture painted into) is changed in `step` too, with as little drawing
// as that takes. A scene without per-frame state keeps the empty base.
#include <GL/glew.h>

#include "scenes/frame_time.h"

class Music;
class ShaderLibrary;
class FBO;
class AsciiEngine;
class FontLibrary;

class Scene {
 public:
  Scene() = default;
  virtual ~Scene() = default;

  // Reads every asset of the scene; called once, after the slot and the
  // shared references are set. Every scene must override it.
  virtual void load();
  // Every per-frame change of the scene's state (see the rule above);
  // called once per frame while the show time lies in [start, end], before
  // draw, and alone while the show catches up to its start beat.
  virtual void step(const FrameTime& time) { (void)time; }
  // Draws one frame from the state; called while the show time lies in
  // [start, end]. Every scene must override it.
  virtual void draw(const FrameTime& time);
  // Puts every per-frame state back as load left it (see the rule above).
  // A scene whose step changes nothing keeps the empty base.
  virtual void rewind() {}
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
  // Captions over a 3D picture: colour material on, no 2D texture on units
  // 0 to 4, the flat 2D set-up, blending with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA).
  void beginCaption() const;

  // The declared starting state: a derived scene changes these in its
  // constructor or load.
  GLenum shadeModel = GL_SMOOTH;

  float start = -10.0f;  // first beat of the slot (the Demo overwrites it)
  float end = 5000.0f;   // last beat of the slot (the Demo overwrites it)
  // The scene's own fades, from the timeline like the slot: the fade-in runs
  // from start to fadeInEnd, the fade-out from fadeOutStart to end (the
  // same beats as start and end where the scene has none).
  float fadeInEnd = -10.0f;
  float fadeOutStart = 5000.0f;

  // Shared resources, owned by the Demo. The music is there for what a
  // scene reads from it while loading (the notes of its tracks); the time
  // comes with every frame.
  Music* music = nullptr;
  ShaderLibrary* shaders = nullptr;
  FBO* renderTarget = nullptr;
  AsciiEngine* ascii = nullptr;
  FontLibrary* fonts = nullptr;  // every scene's fonts, owned there

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

// Back faces are left out while one of these lives. The scenes' models are
// closed and drawn with depth testing, so the picture stays the same while
// the renderer sets up and shades about half the triangles. `mirrored` is
// for a pass drawn through a mirroring transform (a reflection), where
// every face turns the other way on the screen. Culling is off again after.
class BackFaceCulling {
 public:
  explicit BackFaceCulling(bool mirrored = false) {
    glCullFace(mirrored ? GL_FRONT : GL_BACK);
    glEnable(GL_CULL_FACE);
  }
  ~BackFaceCulling() {
    glDisable(GL_CULL_FACE);
    glCullFace(GL_BACK);
  }
  BackFaceCulling(const BackFaceCulling&) = delete;
  BackFaceCulling& operator=(const BackFaceCulling&) = delete;
};

// Draw calls made while one of these lives reach no pixel: the scissor box
// is empty. The renderer still sees them with all their state, and that is
// what they are for. Software renderers (and some drivers) compile shader
// code for each new combination of program, state and vertex layout on its
// first draw, which can cost a frame or two; a scene draws what first shows
// in the middle of its slot under one of these in the frames before, so the
// compiling falls in its first frame rather than one the viewer watches.
// The scissor test and box are as they were again after (they nest: the
// show's warm-up draws whole frames under one).
class UnseenDraws {
 public:
  UnseenDraws() : enabled_(glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE) {
    glGetIntegerv(GL_SCISSOR_BOX, box_);
    glScissor(0, 0, 0, 0);
    glEnable(GL_SCISSOR_TEST);
  }
  ~UnseenDraws() {
    if (!enabled_) glDisable(GL_SCISSOR_TEST);
    glScissor(box_[0], box_[1], box_[2], box_[3]);
  }
  UnseenDraws(const UnseenDraws&) = delete;
  UnseenDraws& operator=(const UnseenDraws&) = delete;

 private:
  bool enabled_;
  GLint box_[4] = {0, 0, 0, 0};
};
