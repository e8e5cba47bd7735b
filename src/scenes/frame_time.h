#pragma once
// FrameTime: the show clock as one frame sees it.
//
// The Demo reads the music's clock once per frame, before any scene steps
// or draws, and hands every scene this record; no scene asks the music for
// the time. Everything a scene draws in a frame therefore belongs to one
// and the same beat, whether the show plays live, catches up to a later
// start, or is rendered offline.

struct FrameTime {
  float beat = 0.0f;      // the show clock, in beats
  float beatStep = 0.0f;  // the clock's mean advance per frame over the last ten frames
  float slotBeat = 0.0f;  // beats since the first beat of the scene's slot: beat - start

  // The same reading as the scene in a slot starting at `start` sees it.
  FrameTime inSlot(float start) const {
    FrameTime time = *this;
    time.slotBeat = beat - start;
    return time;
  }
};
