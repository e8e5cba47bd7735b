#pragma once
// The program's start-up up to a ready OpenGL window: the video layer, the
// set-up dialog, the window with its GL attributes, GLEW and the extension
// check.
#include <string>
#include <vector>

#include "main_options.h"
#include "platform/video.h"

// Runs the start-up; false when the user cancelled the set-up dialog (the
// program then ends with 0 and opens nothing). Every failure is fatal.
bool startVideo(const Options& options);

// After the context exists: the anisotropic filtering for this renderer
// (and, in --batch, a line on standard error naming the driver and the choice).
void configureDriver(const Options& options);

// The multisampling for a window on this renderer: the requested samples,
// but none on a software renderer unless a person chose them (--samples or
// the set-up dialog). There every sample is shaded by the processor: 4x
// doubles the frame time of the scenes drawn straight into the window.
int chooseSamples(const char* renderer, int requested, bool chosen);

// A size still unchosen (the dialog confirmed with no modes listed, or full
// screen asked for without a size) becomes the desktop's: the one size that
// surely works.
void fillUnchosenSize(VideoSettings& settings, const DesktopFormat& desktop);

// The extensions the show checks for, by GLEW's names, in checking order.
const std::vector<std::string>& requiredExtensions();

// The question asked when some are missing; empty when none is.
std::string extensionMessage(const std::vector<std::string>& missing);

// Asks whether to go on when extensions are missing; declining ends the
// process with exit code 1. Without message boxes the question goes to
// standard error and the start-up goes on.
void checkGlExtensions();
