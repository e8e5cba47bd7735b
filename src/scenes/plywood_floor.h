#pragma once
// The plywood floor of the toy scenes: a textured quad of 1000 x 1000 at
// z = 0 under the current modelview, turned by 30 degrees about z, the
// texture repeated 50 times, in a white material lit by the scene's lights.
class ShaderLibrary;
class Texture;

// The floor's picture, in the train's folder; the clown reads it too.
inline constexpr const char* kPlywoodFloorTexture = "data/train/PlywoodNew0030_1_S.jpg";

void drawPlywoodFloor(const ShaderLibrary& shaders, const Texture& floorTexture);
