#pragma once
// Maker mode (--dev): the show under the hands of the people who make it.
// It plays from the plain data/ tree and watches it: a file written there is
// loaded again by the parts of the show that read it (Demo::reload), and a
// part that fails to load keeps its previous version. Keys and commands on
// standard input pause the show, move it and loop it, and take pictures.
//
// Keys: Space pauses and resumes; Left and Right go a beat back and forth,
// with Shift a bar; Page Up and Page Down go to the previous and next slot's
// start, Home to the beginning; L loops the slot playing now (again: off);
// R loads everything again; H shows or hides an overlay with the beat and
// the frame times (never in shots).
//
// Standard input takes one command a line; each is answered with one line
// on standard output that begins with "ok" or "error":
//   seek BEAT          go to the frame at BEAT exactly as --frame shows it
//   pause, play        hold the music and the picture, go on
//   loop START END     from END back to START while playing; loop off
//   reload             everything again: "ok reloaded everything", or "error
//                      kept the previous show ..." with the failure on
//                      standard error
//   shot FILE.png      the next frame's picture, at the window's size
//   beat               "ok beat B scenes NAME ..." (the frame drawn last)
//   quit               ends the show with exit code 0
#include <string>
#include <vector>

#include "platform/video.h"

class Demo;

struct MakerCommand {
  enum class Kind { Seek, Pause, Play, Loop, LoopOff, Reload, Shot, Beat, Quit };
  Kind kind = Kind::Beat;
  float from = 0.0f;  // Seek: the beat; Loop: the first beat
  float to = 0.0f;    // Loop: the last beat
  std::string file;   // Shot
};

// One line of standard input; false with a one-line `error` for anything
// that is not a command.
bool parseMakerCommand(const std::string& line, MakerCommand& command, std::string& error);

// Where Left, Right (a beat, with Shift `beatsPerBar`), Page Up, Page Down
// (the previous and the next slot's start) and Home (0) go from `beat`; the
// other keys do not move the show and answer `beat`.
float beatForKey(WindowKey key, bool shift, float beat, int beatsPerBar);

// The slot playing at `beat`: of the slots that hold it, the one that began
// last. False when none does.
bool slotAt(float beat, float& start, float& end);

// The names of the scenes whose slots hold `beat`, in drawing order.
std::vector<std::string> scenesAt(float beat);

// The overlay's lines (H): the beat, the bar and the beat in it (both from
// 1, bars of `beatsPerBar`), the scenes drawing, frames a second and the
// frame's milliseconds, whether paused or looping, and the last reload.
// Written into `lines` (each kOverlayLineLength at most), so drawing them
// allocates nothing.
constexpr int kOverlayLines = 5;
constexpr size_t kOverlayLineLength = 96;
struct OverlayState {
  float beat = 0.0f;
  int beatsPerBar = 4;
  double framesPerSecond = 0.0;
  double frameMilliseconds = 0.0;
  bool paused = false;
  bool looping = false;
  float loopStart = 0.0f, loopEnd = 0.0f;
  const char* lastReload = "";  // empty: none yet
};
void overlayLines(const OverlayState& state, char (&lines)[kOverlayLines][kOverlayLineLength]);

// Runs the show in maker mode until `quit`, Escape or the window closes.
void runMaker(Demo& demo);
