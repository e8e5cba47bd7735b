#include "scenes/scene_endtext/scene_endtext.h"

#include "scenes/invitation.h"
#include "scenes/scene_kit.h"
#include "util/atlas_font.h"
#include "util/util.h"

const char* endtextLine(int index) {
  static const char* const lines[kEndtextLines] = {
      "Tin Lantern",           "by Morvella",          "", Invitation::kComeLine,
      Invitation::kWebAddress, "",                     Invitation::kDatesLine,
      Invitation::kVenueLine,
  };
  return lines[index];
}

Endtext::Endtext() {
  blend = true;
  lighting = true;
}


void Endtext::load() {
  font = fonts->get("data/common/fonts/MOVIPB__.ttf", 100);
  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 0, 0, 0, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end + 0.1f, 0, 0, 0, 0, 0, 0, 0, 1);
}

void Endtext::draw(const FrameTime& time) {
  const float beat = time.beat;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  if (beat < end) {
    glEnable(GL_COLOR_MATERIAL);
    for (int unit = 4; unit >= 0; --unit) {
      glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      glBindTexture(GL_TEXTURE_2D, 0);
    }
    beginFlat2D();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glTranslatef(0.15f * viewWidth, 0.85f * pictureHeight, 0.0f);
    for (int i = 0; i < kEndtextLines; ++i) {
      if (i > 0) glTranslatef(0.0f, -0.1f * pictureHeight, 0.0f);
      if (endtextLine(i)[0] != '\0')
        drawTextShadowed(font, viewWidth, 2.0f, 1.0f, "%s", endtextLine(i));
    }
  }

  fadeIn->draw(beat);
  fadeOut->draw(beat);
}
