#pragma once
// Music: the soundtrack and the show clock, in beats.
//
// For now this is a stand-in: a silent clock that runs from the wall clock
// at the soundtrack's tempo and "plays" for as long as the show lasts. The
// music engine replaces its inside; the interface the Demo and the scenes
// use (play, time, update, beatStep, isPlaying, setVolume) stays.
#include <cstdint>

class Music {
 public:
  float tempo = 130.0f;      // beats per minute
  float beatOffset = 0.1f;   // beats added to every clock reading
  float beatStep = 0.0f;     // clock advance of the last frame, in beats
  float lengthBeats = 582.0f;  // the stream stops here

  // Starts playback; the clock runs from here.
  void play();
  // The show clock in beats.
  float time() const;
  // Once per frame, before any scene draws.
  void update();
  bool isPlaying() const;
  void setVolume(float volume) { volume_ = volume; }

 private:
  bool playing_ = false;
  uint32_t startTicks_ = 0;
  float lastTime_ = 0.0f;
  float volume_ = 1.0f;
};
