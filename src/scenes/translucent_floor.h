#pragma once
// The translucent floor of the tile and robot scenes: a large blue-tinted
// glass plane at z = 0, lit (shader library entry 20) and blended at 30 %
// over what lies under it, so a mirrored copy of the content drawn beneath
// shows through as a reflection. Leaves entry 20 in use, 2D texturing and
// colour material off.
class ShaderLibrary;

void drawTranslucentFloor(const ShaderLibrary& shaders);
