#include "util/music/music.h"

#include "platform/ticks.h"

void Music::play() {
  playing_ = true;
  startTicks_ = ticksMs();
  lastTime_ = time();
  beatStep = 0.0f;
}

float Music::time() const {
  if (!playing_) return beatOffset;
  double seconds = static_cast<uint32_t>(ticksMs() - startTicks_) / 1000.0;
  return static_cast<float>(seconds * (1.0 / 60.0) * tempo + beatOffset);
}

void Music::update() {
  float now = time();
  beatStep = now - lastTime_;
  lastTime_ = now;
}

bool Music::isPlaying() const { return playing_ && time() < lengthBeats; }
