#include "platform/video.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// An interrupt or terminate signal: the first asks the show to end (it
// arrives as a quit event), a second ends the process at once, whatever it
// is doing.
volatile sig_atomic_t quitSignal = 0;
bool quitDelivered = false;

void onQuitSignal(int number) {
  if (quitSignal) {
    std::signal(number, SIG_DFL);
    std::raise(number);
    return;
  }
  quitSignal = number;
}

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int requestedSamples = 0;
int requestedVsync = 0;

// The window as openVideoWindow made it, for opening it again.
struct OpenedWindow {
  std::string caption;
  int width = 0, height = 0;
  DesktopFormat desktop;
  uint32_t videoFlags = 0;
} opened;

void setMultisampling(int samples) {
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
}

bool tryOpen(const char* caption, int width, int height, const DesktopFormat& desktop,
             uint32_t videoFlags) {
  // Hidden until the start-up has settled its multisampling, which can mean
  // a second window (see reopenVideoWindow).
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (videoFlags & kVideoOpenGL) flags |= SDL_WINDOW_OPENGL;
  if (videoFlags & kVideoResizable) flags |= SDL_WINDOW_RESIZABLE;
  bool fullscreen = (videoFlags & kVideoFullscreen) != 0;
  window = SDL_CreateWindow(caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                            flags);
  if (!window) return false;
  if (fullscreen) {
    // A real mode change to the chosen size, in the desktop's pixel format.
    SDL_DisplayMode mode = {desktop.pixelFormat, width, height, 0, nullptr};
    SDL_SetWindowDisplayMode(window, &mode);
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
      SDL_DestroyWindow(window);
      window = nullptr;
      return false;
    }
  }
  context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    window = nullptr;
    return false;
  }
  return true;
}
}  // namespace

bool videoInit() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // ours, below
  // Windows: the program sees the display's real pixels and modes, never a
  // scaled-up smaller window (the set-up dialog lists what the display has).
  SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
#ifdef SDL_MAIN_HANDLED
  SDL_SetMainReady();  // the program's own main() is the entry, not SDL's
#endif
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
#ifdef _WIN32
  std::signal(SIGINT, onQuitSignal);
  std::signal(SIGTERM, onQuitSignal);
#else
  struct sigaction action = {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
  // Whatever way the process ends, the desktop gets its own video mode back.
  std::atexit(SDL_Quit);
  return true;
}

void videoShutdown() {
  if (context) SDL_GL_DeleteContext(context);
  if (window) SDL_DestroyWindow(window);
  context = nullptr;
  window = nullptr;
  SDL_Quit();
}

std::string videoError() { return SDL_GetError(); }

DesktopFormat desktopFormat() {
  DesktopFormat desktop;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    desktop.width = mode.w;
    desktop.height = mode.h;
    desktop.pixelFormat = mode.format;
    if (SDL_BITSPERPIXEL(mode.format) > 0) desktop.bitsPerPixel = SDL_BITSPERPIXEL(mode.format);
  }
  return desktop;
}

std::vector<DisplayMode> distinctModes(std::vector<DisplayMode> modes) {
  std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return a.width != b.width ? a.width > b.width : a.height > b.height;
  });
  modes.erase(std::unique(modes.begin(), modes.end(),
                          [](const DisplayMode& a, const DisplayMode& b) {
                            return a.width == b.width && a.height == b.height;
                          }),
              modes.end());
  return modes;
}

ModeQuery fullscreenModes(std::vector<DisplayMode>& modes) {
  modes.clear();
  int count = SDL_GetNumDisplayModes(0);
  if (count < 0) return ModeQuery::Any;
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) == 0) modes.push_back({mode.w, mode.h});
  }
  modes = distinctModes(modes);
  return modes.empty() ? ModeQuery::None : ModeQuery::List;
}

void requestGlAttributes(int samples, int vsync) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  setMultisampling(samples);
  // The swap interval belongs to the context; it is applied once that exists.
  requestedSamples = samples;
  requestedVsync = vsync;
}

void requestGlDebugContext(bool debug) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
}

// An exit with the context alive (a fatal error's exit(1)) lets it go
// before SDL_Quit, registered earlier and so run later, closes the display:
// closing the display under a live llvmpipe context can leave the exit
// waiting for ever on the renderer's threads.
namespace {
void releaseContextAtExit() {
  if (context) SDL_GL_DeleteContext(context);
  context = nullptr;
}
}  // namespace

bool openVideoWindow(const char* caption, int width, int height, const DesktopFormat& desktop,
                     uint32_t videoFlags) {
  static const bool registered = std::atexit(releaseContextAtExit) == 0;
  (void)registered;
  opened = {caption, width, height, desktop, videoFlags};
  int samples = requestedSamples;
  while (!tryOpen(caption, width, height, desktop, videoFlags)) {
    if (samples <= 0) return false;
    int fewer = samples / 2 >= 2 ? samples / 2 : 0;
    std::fprintf(stderr, "tinlantern: %ix multisampling is not available (%s); trying %s\n",
                 samples, SDL_GetError(), fewer ? (std::to_string(fewer) + "x").c_str() : "none");
    samples = fewer;
    setMultisampling(samples);
  }
  // Not every driver can change the swap interval; the loop then runs unpaced.
  SDL_GL_SetSwapInterval(requestedVsync);
  return true;
}

bool reopenVideoWindow(int samples) {
  if (context) SDL_GL_DeleteContext(context);
  if (window) SDL_DestroyWindow(window);
  context = nullptr;
  window = nullptr;
  requestedSamples = samples;
  setMultisampling(samples);
  const OpenedWindow was = opened;
  return openVideoWindow(was.caption.c_str(), was.width, was.height, was.desktop, was.videoFlags);
}

bool videoUsesGlx() { return std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0; }

bool videoHasDisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool quitSignalled() { return quitSignal != 0; }

bool hideVideoWindow() {
  if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN)) return false;
  SDL_HideWindow(window);
  return true;
}

void showVideoWindow() {
  if (window) SDL_ShowWindow(window);
}

void setCursorVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void swapVideoBuffers() {
  SDL_GL_SwapWindow(window);
  // With no display, nothing ever waits for the driver to work off the
  // frames it was given: it would queue them without bound.
  if (!videoHasDisplay()) glFinish();
}

void drawableSize(int& width, int& height) { SDL_GL_GetDrawableSize(window, &width, &height); }

namespace {

bool windowKey(SDL_Keycode code, WindowKey& key) {
  switch (code) {
    case SDLK_SPACE: key = WindowKey::Space; return true;
    case SDLK_LEFT: key = WindowKey::Left; return true;
    case SDLK_RIGHT: key = WindowKey::Right; return true;
    case SDLK_PAGEUP: key = WindowKey::PageUp; return true;
    case SDLK_PAGEDOWN: key = WindowKey::PageDown; return true;
    case SDLK_HOME: key = WindowKey::Home; return true;
    case SDLK_l: key = WindowKey::L; return true;
    case SDLK_r: key = WindowKey::R; return true;
    case SDLK_h: key = WindowKey::H; return true;
    default: return false;
  }
}

}  // namespace

bool pollWindowEvent(WindowEvent& event) {
  if (quitSignal && !quitDelivered) {
    quitDelivered = true;
    event = WindowEvent();
    event.kind = WindowEventKind::Quit;
    return true;
  }
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  event = WindowEvent();
  switch (e.type) {
    case SDL_KEYDOWN:
      if (e.key.keysym.sym == SDLK_ESCAPE) {
        event.kind = WindowEventKind::EscapePressed;
      } else if (windowKey(e.key.keysym.sym, event.key)) {
        event.kind = WindowEventKind::KeyPressed;
        event.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
      }
      break;
    case SDL_KEYUP:
      if (e.key.keysym.sym == SDLK_ESCAPE) event.kind = WindowEventKind::EscapeReleased;
      break;
    case SDL_QUIT:
      event.kind = WindowEventKind::Quit;
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.state & SDL_BUTTON_LMASK) {
        event.kind = WindowEventKind::Dragged;
        event.width = e.motion.xrel;
        event.height = e.motion.yrel;
      }
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        event.kind = WindowEventKind::Resized;
        drawableSize(event.width, event.height);
      }
      break;
    default:
      break;
  }
  return true;
}

void postQuit() {
  SDL_Event quit;
  SDL_zero(quit);
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}
