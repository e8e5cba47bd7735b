#pragma once
// The program's command line: additions for the people who make, test and
// capture the show. None changes what a plain run does.
#include <string>

#include "util/video_settings.h"

struct Options {
  bool help = false;
  bool version = false;
  bool batch = false;  // nothing waits for a person: no dialog, no boxes
  bool pack = false;   // assets from the plain data/ tree, then a new data.mvl
  bool dev = false;    // maker mode: the plain data/ tree, pause, seek, commands on standard input
  // Video settings; any of them skips the set-up dialog.
  int width = -1;  // --window WxH
  int height = -1;
  bool fullscreen = false;
  int samples = -1;  // -1: not given
  int vsync = -1;

  // The show's clock.
  float start = 0.0f;  // --start BEAT: the show and the music start there
  float end = -1.0f;   // --end BEAT: the show stops after the frame at that beat; < 0: none
  bool frame = false;  // --frame BEAT --out FILE.png: that one frame, offline
  float frameBeat = 0.0f;
  std::string out;
  std::string capture;  // --capture DIR or FILE.mp4: the whole show, offline
  int fps = 60;  // of --capture, and of the run from the beginning that --frame and --start catch up with
  std::string benchmark;  // --benchmark FILE.csv: the timedemo, offline, every frame timed
  int sizeWidth = -1;  // --size WxH of --frame, --capture and --benchmark pictures
  int sizeHeight = -1;

  // Drivers.
  int anisotropy = 0;    // --anisotropy N; 0: chosen by the renderer
  bool glDebug = false;  // --gl-debug: report every GL error and driver message
  bool warmUp = true;    // --no-warm-up: the show is not drawn unseen while loading

  bool offline() const { return frame || !capture.empty() || !benchmark.empty(); }
  bool setsVideo() const {
    return width > 0 || fullscreen || samples >= 0 || vsync >= 0 || offline() || dev;
  }
};

// Parses the arguments; false with a one-line `error` on anything unknown or malformed.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// Writes the video options over the dialog's defaults: --window opens a
// window unless --fullscreen is given too. Offline pictures are drawn in a
// window of their size, without vertical sync.
void applyVideoOptions(const Options& options, VideoSettings& settings);

const char* usageText();
