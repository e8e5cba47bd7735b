#pragma once
// The loading screen: a progress bar (and, with the rendering core, the
// group logo) redrawn by the file access layer after every opened file, so
// progress needs no thread and no loader knows about it. It fades in over
// the first half of the files and out over the second, so the screen is
// black again when the show starts. Escape or closing the window while
// loading ends the program with exit code 1.
#include <cstdint>

#include "util/data/data.h"

// Once the OpenGL window exists: blacks out both buffers and draws.
void startLoadingScreen();

// Once the archive is read: the group logo, drawn above the bar.
void loadLoadingLogo();
// The logo's picture: the first the loading reads.
constexpr const char* kLoadingLogoPath = "data/common/images/morvella_logo_transp.png";

// Advances the progress and, once started, takes one window event and
// redraws when a redraw is due (below). Called after every open that loaded
// something.
void drawLoadingScreen();

// Work after the files that the bar counts too (the show drawn once unseen,
// see Demo::warmUp): `steps` more to come, each ended by loadingStepDone,
// which advances and redraws as an open does.
void expectLoadingSteps(uint32_t steps);
void loadingStepDone();

// Loading is over: later opens draw nothing over the show.
void finishLoadingScreen();

// Files opened so far of the expected number, and the steps after them.
struct LoadingProgress {
  uint32_t done = 0;
  uint32_t total = 150;
  uint32_t stepsDone = 0;
  uint32_t steps = 0;

  // After an open. Reading mode: the archive's used entries of all its
  // entries. Other modes: one more, and the total grows whenever passed.
  void advance(int mode, const DataIndex& index);
  // Files and steps together.
  uint32_t expected() const { return total + steps; }
  uint32_t finished() const { return done + stepsDone; }
  // Everything done of everything expected, 0 when there is nothing to count.
  float fraction() const;
  // Of logo and bar: rises from 0 to 1 at half the files, back to 0 at the last.
  float brightness() const;
};

// Whether an open redraws the loading screen: at most every 50 ms, since
// each redraw waits for the swap, and always at the last file. (The first
// picture, at 0 %, is drawn when the screen starts.)
constexpr double kLoadingRedrawSeconds = 0.05;
bool loadingRedrawDue(double secondsSinceRedraw, const LoadingProgress& progress);

// The loading screen's own progress.
const LoadingProgress& loadingProgress();

// Draws the current screen into the back buffer (no events, no swap).
void renderLoadingScreen();
