#pragma once
// The translucent floor of the tile and robot scenes: a large blue-tinted
// glass plane at z = 0, lit (shader library entry 20) and blended at 30 %
// over what lies under it, so a mirrored copy of the content drawn beneath
// shows through as a reflection. Leaves entry 20 in use, 2D texturing and
// colour material off.
#include <GL/glew.h>

class ShaderLibrary;

void drawTranslucentFloor(const ShaderLibrary& shaders);

// The reflection of a scene standing on the glass floor: drawScene(true)
// draws it mirrored in the floor (z turned over: beneath it).
template <class DrawScene>
void drawMirroredInFloor(DrawScene& drawScene) {
  glPushMatrix();
  glScalef(1.0f, 1.0f, -1.0f);
  drawScene(true);
  glPopMatrix();
}

// A scene standing on the glass floor: its reflection, then the floor goes
// over that, then drawScene(false) draws the scene itself.
template <class DrawScene>
void drawOnGlassFloor(const ShaderLibrary& shaders, DrawScene drawScene) {
  drawMirroredInFloor(drawScene);
  drawTranslucentFloor(shaders);
  drawScene(false);
}
