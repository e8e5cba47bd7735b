#pragma once
// The video layer (SDL2): the program's one OpenGL window, its context,
// buffer swaps and window events. Everything that draws runs on the thread
// that opened the window.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/setup_dialog_model.h"

// Initialises the video subsystem; false on failure (see videoError).
bool videoInit();
void videoShutdown();
// The video layer's last error text.
std::string videoError();

struct DesktopFormat {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  uint32_t pixelFormat = 0;
};
DesktopFormat desktopFormat();

// The full-screen modes of the main display for the set-up dialog, largest
// first, each size once. Modes that cannot be enumerated answer Any.
ModeQuery fullscreenModes(std::vector<DisplayMode>& modes);

// Sizes largest first (by width, then height), each once: the video layer
// reports one entry per refresh rate and pixel format.
std::vector<DisplayMode> distinctModes(std::vector<DisplayMode> modes);

// OpenGL attributes for the window: 8 bits per colour channel, double
// buffered, multisampled when samples > 0, swap interval from vsync.
void requestGlAttributes(int samples, int vsync);
// Asks for a debug context, in which drivers report more through KHR_debug.
void requestGlDebugContext(bool debug);

// Opens the window (centred when windowed, hidden until showVideoWindow)
// with its OpenGL context. When the
// requested multisampling cannot be had, tries fewer samples, then none,
// and says so on standard error. False when no window could be opened.
bool openVideoWindow(const char* caption, int width, int height, const DesktopFormat& desktop,
                     uint32_t videoFlags);
// Closes the window and opens it again as it was, with this many samples (a
// window's multisampling is fixed when it is made). False when no window
// could be opened.
bool reopenVideoWindow(int samples);

// True when the window runs on a GLX display (false for the offscreen driver).
bool videoUsesGlx();
// False when there is no display at all (SDL's offscreen driver): frames go
// nowhere, and each is finished before the next (see swapVideoBuffers).
bool videoHasDisplay();

// Steps the window aside while a message box is up, so that a full-screen
// window never covers it: hideVideoWindow answers whether it was showing.
bool hideVideoWindow();
void showVideoWindow();

void setCursorVisible(bool visible);
// Shows the frame; without a display, waits until the driver has drawn it.
void swapVideoBuffers();
// The window's size in pixels as OpenGL draws it.
void drawableSize(int& width, int& height);

enum class WindowEventKind { EscapePressed, EscapeReleased, KeyPressed, Quit, Resized, Dragged, Other };
// The keys maker mode answers (main_maker.h); other keys are Other events.
enum class WindowKey { Space, Left, Right, PageUp, PageDown, Home, L, R, H };
struct WindowEvent {
  WindowEventKind kind = WindowEventKind::Other;
  int width = 0;  // Resized: the new drawable size; Dragged: the mouse's move in pixels
  int height = 0;
  WindowKey key = WindowKey::Space;  // KeyPressed: which, and whether Shift was held
  bool shift = false;
};

// Takes the next pending window event; false when the queue is empty.
bool pollWindowEvent(WindowEvent& event);
// Posts a quit event, as closing the window would.
void postQuit();
// An interrupt or terminate signal arrived. After videoInit the first such
// signal becomes one quit event (the show ends as if the window was closed);
// a second ends the process at once.
bool quitSignalled();
