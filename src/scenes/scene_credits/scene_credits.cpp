#include "scenes/scene_credits/scene_credits.h"

#include <cstring>

#include "scenes/invitation.h"
#include "scenes/scene_kit.h"
#include "util/atlas_font.h"
#include "util/music/music.h"
#include "util/util.h"

using namespace CreditsTiming;

namespace {

const char* const kLayerImages[kLayerCount] = {
    "data/credits/single-tree-01.png",  "data/credits/tree-with-low-horizon.png",
    "data/credits/pine-tree-with-low-horizon.png", "data/credits/horizon-heights.png",
    "data/credits/mid-layer.png",       "data/credits/mid-layer-alt.png",
};

const char* const kPhotos[kPhotoCount] = {
    "data/credits/lightning/DSC_0239_cropped.jpg", "data/credits/lightning/DSC_0056_cropped.jpg",
    "data/credits/lightning/DSC_0081_cropped.jpg", "data/credits/lightning/DSC_0094_cropped.jpg",
    "data/credits/lightning/DSC_0104_cropped.jpg", "data/credits/lightning/DSC_0318_cropped.jpg",
};

// The display face is rasterised large and drawn at this fraction of its
// size, so the longest line ("we would like to invite you to") fits the
// picture and the letters stay sharp on large screens.
constexpr float kTextScale = 0.45f;
constexpr float kShadowOffset = 3.5f;

void loadImage(Texture& texture, const char* path, bool repeat) {
  texture.load(path, true, repeat, GL_LINEAR, GL_LINEAR);  // fatal on failure
}

}  // namespace

Credits::Credits() = default;


void Credits::load() {
  loadImage(groupLogo, "data/common/images/morvella_logo_transp_2.png", false);
  loadImage(partnerLogo, "data/common/images/partner_logo.png", false);
  loadImage(partyLogo, "data/common/images/sandpit_logo.png", false);
  for (int i = 0; i < kLayerCount; ++i) loadImage(layers[i], kLayerImages[i], false);
  loadImage(rain, "data/credits/rain.png", true);
  loadImage(white, "data/credits/white.png", true);

  font = fonts->get("data/common/fonts/MOVIPB__.ttf", 228);

  // The night sky: the dome shows its storm clouds (the second texture) at
  // full strength and its own size.
  sky = std::make_unique<Effects::Skydome>();
  sky->tex2Factor = 1.0f;
  sky->tex2Scale = 1.0f;

  // The timetable counts from the slot's first beat; so do the flashes.
  lightningBeats = music->noteOnBeats("Lightning");
  for (float& beat : lightningBeats) beat -= start;
  cueBeats(lightningBeats, cues_);

  for (const char* photo : kPhotos) lightningPhotos.emplace_back(new Texture(photo, false, true));

  fadeIn = std::make_unique<Effects::Fader>(start, fadeInEnd, 0, 0, 0, 1, 0, 0, 0, 0);
  fadeOut = std::make_unique<Effects::Fader>(fadeOutStart, end, 0, 0, 0, 0, 0, 0, 0, 1);
  rewind();
}

void Credits::rewind() {
  sky->rewind();
  for (int i = 0; i < kLayerCount; ++i)
    std::memcpy(layerColours_[i], layerBaseColour(i), sizeof layerColours_[i]);
}

void Credits::step(const FrameTime& time) {
  const float beat = time.slotBeat;
  sky->step(beat);
  // Dawn only ever adds green: the layers keep it from then on.
  const float green = greenTint(beat);
  for (int i = 0; i < kLayerCount; ++i)
    if (layerColours_[i][1] < green) layerColours_[i][1] = green;
}

void Credits::draw(const FrameTime& time) {
  const float beat = time.slotBeat;

  sky->daylight = skyDaylight(beat);
  sky->draw(beat);

  // Flat 2D from here: the textured quads bring their own 0..1 projection,
  // the text works in pixels of the picture.
  beginFlat2D();
  glEnable(GL_BLEND);

  drawLightning(beat);
  drawLandscape(beat);
  drawRain(beat);
  drawTextAndLogos(beat);

  fadeIn->draw(time.beat);
  fadeOut->draw(time.beat);
}

void Credits::drawLightning(float beat) {
  Flash now = flash(lightningBeats, beat);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, now.alpha);
  drawTextureWindow(*lightningPhotos[now.photo], 1.0f, 1.0f, 0.0f, 0.0f);
}

void Credits::drawLandscape(float beat) {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (int i = 0; i < kLayerCount; ++i) {
    LayerPlacement at = layerPlacement(i, beat);
    glColor4fv(layerColours_[i]);
    drawTexture(layers[i], at.x, at.y, pictureWidth(at.height, layers[i].aspect()), at.height);
  }
}

void Credits::drawRain(float beat) {
  if (!rainShown(beat)) return;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  // A cold blue-green; the 8 saturates to full green.
  glColor4f(0.6f, 8.0f, 1.0f, rainAlpha(beat));
  for (int sheet = 0; sheet < kRainSheets; ++sheet) {
    RainWindow window = rainWindow(sheet, beat);
    drawTextureWindow(rain, window.size, window.size, window.s, window.t);
  }
}

void Credits::drawLogo(const Texture& logo, float alpha) {
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  const float height = 0.5f;
  const float width = pictureWidth(height, logo.aspect());
  drawTexture(logo, 0.5f * (1.0f - width), 0.25f, width, height);
}

void Credits::drawTextAndLogos(float beat) {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  Item shown[kMaxItems];
  const int count = items(cues_, beat, shown);
  for (int i = 0; i < count; ++i) {
    const Item& item = shown[i];
    switch (item.kind) {
      case Item::GroupLogo:
        drawLogo(groupLogo, item.alpha);
        break;
      case Item::PartnerLogo:
        drawLogo(partnerLogo, item.alpha);
        break;
      case Item::Text:
        glPushMatrix();
        glTranslatef(item.x * viewWidth, item.y * pictureHeight, 0.0f);
        glScalef(kTextScale, kTextScale, 1.0f);
        drawTextShadowed(font, viewWidth, kShadowOffset, item.alpha, "%s", item.text);
        glPopMatrix();
        break;
    }
  }
  // Before the first line shows, one is drawn unseen: the renderer is ready
  // for text when it comes.
  if (beat < kFirstTextBeat) {
    UnseenDraws unseen;
    drawTextShadowed(font, viewWidth, kShadowOffset, 1.0f, "%s", Invitation::kEventLine);
  }
}
