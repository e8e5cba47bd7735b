#include "scenes/scene_codescroller/scene_codescroller.h"

#include "scenes/scene_kit.h"
#include "util/atlas_font.h"
#include "util/fbo/fbo.h"
#include "util/util.h"

namespace {

const char* const kSources[] = {
    "data/codescroller/reverb_asm.nas",
    "data/codescroller/delay_lfo_asm.nas",
    "data/codescroller/waveform_asm.nas",
};

constexpr float kScrollPerBeat = 200.0f;

}  // namespace

LineWindow visibleLines(float beat, float startBeat, float pictureHeight, float lineHeight,
                        size_t lineCount) {
  LineWindow window{lineCount, lineCount, (beat - startBeat) * kScrollPerBeat + pictureHeight};
  float y = window.top;
  for (size_t k = 0; k < lineCount; ++k) {
    y -= lineHeight;
    if (y > pictureHeight + lineHeight) continue;
    if (y < -lineHeight) {
      window.end = k;
      break;
    }
    if (window.first == lineCount) window.first = k;
  }
  if (window.first > window.end) window.first = window.end;
  return window;
}

CodeScroller::CodeScroller() {
  colorMaterial = true;
  texture2D = true;
  blend = false;
  depthTest = false;
  lighting = false;
}


void CodeScroller::load() {
  // The listing runs through the three sources twice.
  for (int pass = 0; pass < 2; ++pass)
    for (const char* source : kSources) readLines(source, lines);
  font = fonts->get("data/common/fonts/courier_new.ttf", 32);
}

void CodeScroller::resizeView(int width, int height) {
  Scene::resizeView(width, height);
  beginFlat2D();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void CodeScroller::step(const FrameTime& time) {
  if (started_) return;
  startBeat = time.beat;
  started_ = true;
}

void CodeScroller::rewind() {
  startBeat = 0.0f;
  started_ = false;
}

void CodeScroller::draw(const FrameTime& time) {
  const float beat = time.beat;
  glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
  glLineWidth(2.5f);

  renderTarget->bind(true);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  const float lineHeight = pictureHeight * 0.04f;
  LineWindow window = visibleLines(beat, startBeat, pictureHeight, lineHeight, lines.size());
  for (size_t k = window.first; k < window.end; ++k) {
    glPushMatrix();
    glTranslatef(0.0f, window.top - (k + 1) * lineHeight, 0.0f);
    drawText(font, viewWidth, "%s", lines[k].c_str());
    glPopMatrix();
  }

  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
