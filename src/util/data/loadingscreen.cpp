#include "util/data/loadingscreen.h"

#include <GL/glew.h>
#include "util/camera/projection.h"

#include <chrono>
#include <cstdlib>

#include "platform/video.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/gl_debug.h"
#include "util/letterbox.h"
#include "util/texture/texture.h"

namespace {

bool started = false;
int width = 0;
int height = 0;
LoadingProgress progress;
Texture* logo = nullptr;  // kept for the rest of the run
std::chrono::steady_clock::time_point lastRedraw;

void redraw() {
  renderLoadingScreen();
  swapVideoBuffers();
  lastRedraw = std::chrono::steady_clock::now();
}

void quad(float x0, float x1, float y0, float y1) {
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
}

void clearAndSwap() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  swapVideoBuffers();
}

}  // namespace

void LoadingProgress::advance(int mode, const DataIndex& index) {
  if (mode == kDataReading) {
    total = static_cast<uint32_t>(index.size());
    done = 0;
    for (const auto& entry : index) done += entry->used ? 1 : 0;
  } else {
    ++done;
    if (done > total) total = done;
  }
}

float LoadingProgress::fraction() const {
  return expected() == 0 ? 0.0f : static_cast<float>(finished()) / static_cast<float>(expected());
}

float LoadingProgress::brightness() const {
  float f = 2.0f * fraction();
  return f <= 1.0f ? f : 2.0f - f;
}

bool loadingRedrawDue(double secondsSinceRedraw, const LoadingProgress& progress) {
  return secondsSinceRedraw >= kLoadingRedrawSeconds ||
         (progress.expected() > 0 && progress.finished() >= progress.expected());
}

const LoadingProgress& loadingProgress() { return progress; }

void startLoadingScreen() {
  drawableSize(width, height);
  clearAndSwap();
  clearAndSwap();
  progress = LoadingProgress();
  started = true;
  redraw();
}

void loadLoadingLogo() {
  Texture* tex_loading = new Texture(kLoadingLogoPath, true, false);
  ASSERT(tex_loading);
  logo = tex_loading;
  if (started) redraw();
}

void finishLoadingScreen() { started = false; }

namespace {

// Takes one window event: Escape or closing the window ends the program.
void takeLoadingEvent() {
  WindowEvent event;
  if (pollWindowEvent(event) &&
      (event.kind == WindowEventKind::EscapePressed || event.kind == WindowEventKind::Quit))
    std::exit(1);
}

void redrawWhenDue() {
  const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastRedraw).count();
  if (loadingRedrawDue(since, progress)) redraw();
}

}  // namespace

void drawLoadingScreen() {
  if (started) takeLoadingEvent();
  progress.advance(dataMode, dataIndex);
  if (started) redrawWhenDue();
}

void expectLoadingSteps(uint32_t steps) { progress.steps += steps; }

void loadingStepDone() {
  if (progress.stepsDone < progress.steps) ++progress.stepsDone;
  if (!started) return;
  takeLoadingEvent();
  redrawWhenDue();
}

void renderLoadingScreen() {
  GlOperation operation("loading screen");
  Viewport view = letterbox(width, height == 0 ? 1 : height);
  glViewport(view.x, view.y, view.width, view.height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);

  float p = progress.fraction();
  float b = progress.brightness();
  glColor4f(b, b, b, 1.0f);

  if (logo) {
    // 70 % of the picture's width, its own aspect ratio on screen, centred.
    float h = 0.7f / (logo->aspect() * 0.5625f);
    drawTexture(*logo, 0.15f, (1.0f - h) / 2.0f, 0.7f, h);
  }

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  multiplyOrtho2D(0.0, 1.0, 0.0, 1.0);
  glDisable(GL_TEXTURE_2D);

  // The bar's frame and fill, in picture coordinates. A horizontal edge is
  // as many pixels high as a vertical one is wide in a 16:9 picture.
  const float t = 0.0088889f;
  glBegin(GL_QUADS);
  quad(0.1f, 0.9f, 0.1f - t, 0.1f);     // top edge
  quad(0.1f, 0.9f, 0.05f, 0.05f + t);   // bottom edge
  quad(0.095f, 0.1f, 0.05f, 0.1f);      // left edge
  quad(0.9f, 0.905f, 0.05f, 0.1f);      // right edge
  quad(0.1f, 0.1f + 0.8f * p, 0.05f, 0.1f);  // fill
  glEnd();
}
