#pragma once
// Credits: the opening of the show. A stormy night over drifting landscape
// silhouettes, three sheets of rain, lightning photographs flashing on the
// "Lightning" notes of the music, and in front the two group logos and the
// invitation, blinking on cue beats. Fades in from black over the first ten
// beats and out over the last four; dawn breaks from beat 96.
#include <memory>
#include <vector>

#include "effects/effect.h"
#include "scenes/scene.h"
#include "scenes/scene_credits/credits_timing.h"
#include "util/texture/texture.h"

class AtlasFont;

class Credits : public Scene {
 public:
  Credits();

  void load() override;
  void step(const FrameTime& time) override;  // the sky's clouds and the landscape's dawn green
  void rewind() override;
  void draw(const FrameTime& time) override;

  Texture partnerLogo, groupLogo, partyLogo;
  Texture layers[CreditsTiming::kLayerCount];
  Texture rain, white;
  AtlasFont* font = nullptr;
  std::unique_ptr<Effects::Skydome> sky;
  std::vector<float> lightningBeats;  // the flashes, in beats into the slot
  std::vector<std::unique_ptr<Texture>> lightningPhotos;
  std::unique_ptr<Effects::Fader> fadeIn, fadeOut;

 private:
  void drawLightning(float beat);
  void drawLandscape(float beat);
  void drawRain(float beat);
  void drawTextAndLogos(float beat);
  void drawLogo(const Texture& logo, float alpha);

  float layerColours_[CreditsTiming::kLayerCount][4];
  float cues_[CreditsTiming::kCueCount];
};
