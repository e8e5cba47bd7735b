#pragma once
// DepthOfField: the post-process the train, tiles, clown and robot scenes
// see their 3D content through.
//
// The content is drawn sharp into a type-4 target (colour plus a depth
// texture), blurred across into a type-1 target by shader library entry 2,
// and the two are composed into the current framebuffer by shader library
// entry 5 ("dof"), which finishes the separable blur with the taps down as
// it reads the second target: per pixel, sharp within the camera's focus
// range of its focus point, fully blurred a focus falloff beyond that, from
// the depth texture and the camera's near and far planes. The content is
// drawn with the scene's colour blending (source alpha, one minus source
// alpha) while its coverage accumulates as "over" does, so the target holds
// a picture premultiplied by its alpha; the compose lays it over what the
// framebuffer holds once, so what the content leaves empty shows what was
// drawn before (a sky, a floor), and translucent content (a glass floor over
// nothing) shows as much as its alpha says. The targets are the window's size.
#include <memory>

#include "scenes/translucent_floor.h"
#include "util/fbo/fbo.h"

class Camera;
class ShaderLibrary;

class DepthOfField {
 public:
  // The targets start at 64 x 64; resize gives them the window's size.
  DepthOfField();

  void resize(int width, int height);

  // Sharp pass, blur pass, compose pass; `drawContent` draws the 3D content
  // with the current projection and modelview (the camera's).
  template <class DrawContent>
  void render(const ShaderLibrary& shaders, const Camera& camera, DrawContent&& drawContent) {
    beginSharp();
    drawContent();
    endSharp();
    blurAndCompose(shaders, camera);
  }

  // The content standing on the translucent glass floor (translucent_floor.h):
  // drawScene(true) is its reflection, drawScene(false) the content itself.
  // With a reflection divisor above 1 the reflection is drawn into a target
  // of its own, that many times smaller each way, and laid into the sharp
  // picture before the floor goes over it: seen through the tinted glass
  // and blurred with the floor, it is a softer picture of the same, at a
  // fraction of the pixels.
  template <class DrawScene>
  void renderOnGlassFloor(const ShaderLibrary& shaders, const Camera& camera, DrawScene&& drawScene) {
    if (!reflectionTarget) {
      render(shaders, camera, [&] { drawOnGlassFloor(shaders, drawScene); });
      return;
    }
    beginReflection();
    drawMirroredInFloor(drawScene);
    endReflection();
    beginSharp();
    layReflection();
    drawTranslucentFloor(shaders);
    drawScene(false);
    endSharp();
    blurAndCompose(shaders, camera);
  }

  // How many times smaller each way reflections are drawn by the targets
  // made from now on: 1 (in the sharp picture itself) unless set. The
  // start-up sets 2 on a software renderer, where the reflection's pixels
  // cost a quarter of the robots' and the tiles' frames.
  static void setReflectionDivisor(int divisor);
  // Whether this one draws its reflection smaller (a divisor above 1 when made).
  bool reflectionSmaller() const { return reflectionTarget != nullptr; }

  // The halves of render, for callers that cannot pass their content as one call.
  void beginSharp();
  void endSharp();
  void blurAndCompose(const ShaderLibrary& shaders, const Camera& camera);

  std::unique_ptr<FBO> sceneTarget;   // type 4: the sharp picture and its depth
  std::unique_ptr<FBO> acrossTarget;  // type 1: the sharp picture blurred across only
  std::unique_ptr<FBO> reflectionTarget;  // type 1: the reflection, when it is drawn apart

 private:
  void beginReflection();
  void endReflection();
  // The reflection's picture into the sharp target, as it is (no blending).
  void layReflection();
  int divisor_ = 1;  // the reflection target's, fixed when it is made
};
