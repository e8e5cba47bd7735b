// The opening credits' and the end scenes' timetables as functions of the beat.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/messagebox.h"
#include "scenes/invitation.h"
#include "scenes/scene_codescroller/scene_codescroller.h"
#include "scenes/scene_credits/credits_timing.h"
#include "scenes/scene_endtext/scene_endtext.h"

namespace {

using namespace CreditsTiming;

// The soundtrack's first flashes are at 8, 19, 26.5 and 34; these tests use
// their own so they do not depend on it.
const std::vector<float> kFlashes = {8.0f, 20.0f, 26.5f, 34.0f, 46.0f, 55.0f, 64.0f, 69.0f};

struct Cues {
  float beats[kCueCount];
  Cues() { cueBeats(kFlashes, beats); }
};

TEST(CreditsTiming, CuesAreTheFirstAndFourthFlashThenFixedBeats) {
  Cues cues;
  const float expected[kCueCount] = {8, 34, 42, 51, 60, 72, 84, 102};
  for (int i = 0; i < kCueCount; ++i) EXPECT_EQ(cues.beats[i], expected[i]) << i;
}

TEST(CreditsTiming, FewerThanFourFlashesIsFatal) {
  setMessageBoxesEnabled(false);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  float cues[kCueCount];
  EXPECT_EXIT(cueBeats({8.0f, 19.0f, 26.5f}, cues), testing::ExitedWithCode(1),
              "\"Lightning\" track has 3 flashes");
}

TEST(CreditsTiming, BlinkVanishesOnTheCueAndRecoversOverOnePointTwoBeats) {
  Cues cues;
  EXPECT_FLOAT_EQ(cueAlpha(cues.beats, 51.0f), 0.0f);
  EXPECT_NEAR(cueAlpha(cues.beats, 50.4f), 0.5f, 1e-5f);
  EXPECT_NEAR(cueAlpha(cues.beats, 51.6f), 0.5f, 1e-5f);
  EXPECT_FLOAT_EQ(cueAlpha(cues.beats, 52.2f), 1.0f);
  EXPECT_FLOAT_EQ(cueAlpha(cues.beats, 55.0f), 1.0f);
  EXPECT_NEAR(cueAlpha(cues.beats, 8.3f), 0.25f, 1e-5f);  // the first flash is a cue too
}

TEST(CreditsTiming, LightningRisesToTheNoteAndEndsHalfABeatAfter) {
  Flash before = flash(kFlashes, 19.6f);
  EXPECT_EQ(before.photo, 1);
  EXPECT_NEAR(before.alpha, 0.6f, 1e-5f);
  Flash on = flash(kFlashes, 20.0f);
  EXPECT_EQ(on.photo, 1);
  EXPECT_FLOAT_EQ(on.alpha, 1.0f);
  EXPECT_FLOAT_EQ(flash(kFlashes, 20.5f).alpha, 0.0f);
  EXPECT_FLOAT_EQ(flash(kFlashes, 19.5f).alpha, 0.0f);  // the window is open at both ends
  // The seventh flash shows the first photograph again.
  EXPECT_EQ(flash(kFlashes, 64.0f).photo, 0);
  EXPECT_EQ(flash({}, 3.0f).alpha, 0.0f);
}

TEST(CreditsTiming, LayersDriftLeftAndKeepTheirProportions) {
  LayerPlacement far = layerPlacement(0, 100.0f);
  EXPECT_FLOAT_EQ(far.x, 0.6f - 0.21f);
  EXPECT_FLOAT_EQ(far.y, 0.1f);
  EXPECT_FLOAT_EQ(far.height, 0.5f);
  LayerPlacement near = layerPlacement(5, 114.0f);
  EXPECT_NEAR(near.x, -0.0114f, 1e-6f);
  EXPECT_FLOAT_EQ(near.y, -0.3f);
  EXPECT_FLOAT_EQ(near.height, 1.5f);
  // A 16:9 image 0.5 high is half the picture wide.
  EXPECT_FLOAT_EQ(pictureWidth(0.5f, 16.0f / 9.0f), 0.5f);
  EXPECT_FLOAT_EQ(layerBaseColour(0)[0], 0.16f);
  EXPECT_FLOAT_EQ(layerBaseColour(5)[3], 1.0f);
}

TEST(CreditsTiming, DawnBreaksAtBeat96) {
  EXPECT_EQ(skyDaylight(96.0f), 0.0f);
  EXPECT_FLOAT_EQ(skyDaylight(105.0f), 0.5f);
  EXPECT_FLOAT_EQ(skyDaylight(120.0f), 1.0f);
  EXPECT_EQ(greenTint(96.0f), 0.0f);
  EXPECT_FLOAT_EQ(greenTint(105.0f), 0.1f);
  EXPECT_FLOAT_EQ(greenTint(300.0f), 0.3f);
  EXPECT_FLOAT_EQ(rainAlpha(50.0f), 0.5f);
  EXPECT_FLOAT_EQ(rainAlpha(96.0f), 0.5f);
  EXPECT_FLOAT_EQ(rainAlpha(105.0f), 0.25f);
  EXPECT_FLOAT_EQ(rainAlpha(114.0f), 0.0f);
  EXPECT_TRUE(rainShown(114.0f));
  EXPECT_FALSE(rainShown(114.01f));
}

TEST(CreditsTiming, RainSheetsFallAtTheirOwnSpeeds) {
  RainWindow first = rainWindow(0, 2.0f);
  EXPECT_FLOAT_EQ(first.size, 5.0f);
  EXPECT_FLOAT_EQ(first.s, 0.2f);
  EXPECT_FLOAT_EQ(first.t, 10.0f);
  RainWindow last = rainWindow(2, 31.0f);
  EXPECT_FLOAT_EQ(last.size, 15.0f);
  EXPECT_NEAR(last.s, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(last.t, 62.0f);
}

// What is in front at a beat, as text ("group", "partner" or the line) and
// alpha to three decimals.
std::vector<std::pair<std::string, float>> shownAt(float beat) {
  Cues cues;
  Item out[kMaxItems];
  int n = items(cues.beats, beat, out);
  std::vector<std::pair<std::string, float>> shown;
  for (int i = 0; i < n; ++i) {
    std::string what = out[i].kind == Item::GroupLogo     ? "group"
                       : out[i].kind == Item::PartnerLogo ? "partner"
                                                          : out[i].text;
    shown.emplace_back(what, std::round(out[i].alpha * 1000.0f) / 1000.0f);
  }
  return shown;
}

TEST(CreditsTiming, TextScheduleBoundaries) {
  using Shown = std::vector<std::pair<std::string, float>>;
  using namespace Invitation;
  EXPECT_EQ(shownAt(7.99f), Shown{});
  EXPECT_EQ(shownAt(10.0f), (Shown{{"group", 1.0f}}));
  EXPECT_EQ(shownAt(33.99f).at(0).first, "group");
  EXPECT_EQ(shownAt(34.0f), (Shown{{"partner", 0.0f}}));
  EXPECT_EQ(shownAt(42.0f), (Shown{{kEventLine, 0.0f}}));
  EXPECT_EQ(shownAt(51.0f), (Shown{{kInviteLine, 0.0f}}));
  EXPECT_EQ(shownAt(52.2f), (Shown{{kInviteLine, 1.0f}}));
  EXPECT_EQ(shownAt(65.0f), (Shown{{kPartyFirstWord, 1.0f}}));
  // The word stays whole through the blink of the next cue's approach.
  EXPECT_EQ(shownAt(71.4f), (Shown{{kPartyFirstWord, 1.0f}}));
  EXPECT_EQ(shownAt(72.6f), (Shown{{kPartyName, 0.5f}, {kPartyFirstWord, 1.0f}}));
  EXPECT_EQ(shownAt(83.4f), (Shown{{kPartyName, 1.0f}}));
  EXPECT_EQ(shownAt(84.6f), (Shown{{kPartyName, 1.0f}, {kDatesLine, 0.5f}}));
  EXPECT_EQ(shownAt(101.4f), (Shown{{kPartyName, 0.5f}, {kDatesLine, 0.5f}}));
  EXPECT_EQ(shownAt(102.0f), Shown{});
}

TEST(CreditsTiming, DatesLineSitsBelowTheName) {
  Cues cues;
  Item out[kMaxItems];
  ASSERT_EQ(items(cues.beats, 90.0f, out), 2);
  EXPECT_FLOAT_EQ(out[1].x, out[0].x - 0.005f);
  EXPECT_FLOAT_EQ(out[1].y, out[0].y - 0.25f);
}

TEST(CodeScrollerLines, TheBlockEntersFromTheTopAndRises200UnitsPerBeat) {
  const float height = 800.0f, line = 32.0f;  // exact in binary: no rounding at the edges
  // On the first frame the block's top is the picture's top edge.
  LineWindow first = visibleLines(10.0f, 10.0f, height, line, 500);
  EXPECT_FLOAT_EQ(first.top, 800.0f);
  EXPECT_EQ(first.first, 0u);
  EXPECT_EQ(first.end, 26u);  // line 25 at 800 - 26 x 32 = -32 is the last one drawn
  // One beat later the block has moved up 200 units: lines more than one
  // line above the top are skipped.
  LineWindow later = visibleLines(11.0f, 10.0f, height, line, 500);
  EXPECT_FLOAT_EQ(later.top, 1000.0f);
  EXPECT_EQ(later.first, 5u);  // line 4 at 840 is above 800 + 32, line 5 at 808 is not
  EXPECT_EQ(later.end, 32u);   // line 32 at -56 is the first below -32
  // Past the end of the listing nothing is left.
  LineWindow gone = visibleLines(200.0f, 10.0f, height, line, 500);
  EXPECT_EQ(gone.first, gone.end);
}

TEST(Endtext, EightLinesWithTwoSpacers) {
  EXPECT_STREQ(endtextLine(0), "Tin Lantern");
  EXPECT_STREQ(endtextLine(1), "by Morvella");
  EXPECT_STREQ(endtextLine(2), "");
  EXPECT_STREQ(endtextLine(5), "");
  EXPECT_STREQ(endtextLine(6), Invitation::kDatesLine);
  for (int i : {3, 4, 7}) EXPECT_GT(std::string(endtextLine(i)).size(), 8u) << i;
}

}  // namespace
