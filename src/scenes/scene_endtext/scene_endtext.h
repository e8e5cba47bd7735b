#pragma once
// Endtext: the closing words in white on black, faded in from black over
// six beats and out to black over the last six; the text goes at the end beat.
#include <memory>

#include "effects/effect.h"
#include "scenes/scene.h"

class AtlasFont;

class Endtext : public Scene {
 public:
  Endtext();

  void load() override;
  void draw(const FrameTime& time) override;

  AtlasFont* font = nullptr;
  std::unique_ptr<Effects::Fader> fadeIn, fadeOut;
};

// The closing lines, top to bottom; empty strings are spacing lines.
constexpr int kEndtextLines = 8;
const char* endtextLine(int index);
