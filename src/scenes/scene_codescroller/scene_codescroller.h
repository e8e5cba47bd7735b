#pragma once
// CodeScroller: the show's own assembler source scrolling up in green on
// black, drawn into the shared render target (the robot scene shows it on a
// monitor), never on the screen itself.
#include <string>
#include <vector>

#include "scenes/scene.h"

class AtlasFont;

class CodeScroller : public Scene {
 public:
  CodeScroller();

  void load() override;
  void step(const FrameTime& time) override;  // remembers the beat of the scene's first frame
  void rewind() override;
  void draw(const FrameTime& time) override;
  void resizeView(int width, int height) override;

  std::vector<std::string> lines;
  AtlasFont* font = nullptr;
  float startBeat = 0.0f;  // the beat of the first drawn frame

 private:
  bool started_ = false;
};

// Which lines of the scrolling block are on the picture. The block's top
// starts just above the picture's top edge at `startBeat` and rises 200
// units per beat; line k (from 0) sits at top - (k + 1) x lineHeight. Lines
// [first, end) are drawn: those still more than one line above the top are
// skipped, and the first one more than a line below the bottom ends the block.
struct LineWindow {
  size_t first;
  size_t end;
  float top;  // the block's top, in picture units
};
LineWindow visibleLines(float beat, float startBeat, float pictureHeight, float lineHeight,
                        size_t lineCount);
