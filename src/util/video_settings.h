#pragma once
// The process-wide video settings: written by the set-up dialog (or the
// command line), read by the start-up, the Demo and the loading screen.
#include <cstdint>

// The flag word keeps the video layer's classic bit values.
constexpr uint32_t kVideoOpenGL = 0x00000002u;
constexpr uint32_t kVideoResizable = 0x00000010u;
constexpr uint32_t kVideoFullscreen = 0x80000000u;

struct VideoSettings {
  int32_t width = -1;   // -1: not chosen
  int32_t height = -1;  // -1: not chosen
  uint32_t videoFlags = kVideoFullscreen;
  int32_t samples = 4;  // multisample count: 0 (off), 2, 4, 8 or 16
  int32_t vsync = 1;    // 1: wait for the vertical retrace on swap

  bool fullscreen() const { return (videoFlags & kVideoFullscreen) != 0; }
};

extern VideoSettings videoSettings;
