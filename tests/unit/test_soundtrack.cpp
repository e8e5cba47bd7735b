// The show's own soundtrack, read the way the show reads it: the sync
// configuration, the MIDI data and the stream, from the data/ tree.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/music/audio.h"
#include "util/music/music.h"

namespace {

constexpr const char* kConfiguration = "data/common/music/sp10-invite.xml";

std::vector<float> noteOns(const std::vector<float>& events) {
  std::vector<float> ons;
  for (float beat : events)
    if (beat >= 0.0f) ons.push_back(beat);
  return ons;
}

class Soundtrack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setMessageBoxesEnabled(false);
    dataMode = kDataPlain;  // straight from the tree (tests run in the repository)
    setAudioOffline(true);
    music_ = new Music(kConfiguration);
  }
  static void TearDownTestSuite() {
    delete music_;
    setAudioOffline(false);
  }
  static Music* music_;
};

Music* Soundtrack::music_ = nullptr;

TEST_F(Soundtrack, TempoIsKeptExactlyByTheReader) {
  EXPECT_EQ(music_->tempo, 125.0f);
  EXPECT_EQ(music_->midi->tempo, 125.0f);
}

TEST_F(Soundtrack, LightningFlashesThroughTheStorm) {
  std::vector<float> ons = noteOns(music_->noteStates("Lightning"));
  ASSERT_GE(ons.size(), 4u);
  EXPECT_GT(ons[0], 2.0f);
  EXPECT_LT(ons[3], 42.0f);
  EXPECT_GT(ons.back(), 80.0f) << "flashes go on until the storm ends";
  EXPECT_LE(ons.back(), 114.0f);
}

TEST_F(Soundtrack, ClownBellsDropTheFigureAndTheRings) {
  std::vector<float> ons = noteOns(music_->noteStates("KlovneRinger"));
  int figure = 0;
  for (float beat : ons) figure += beat > 262.0f && beat < 328.0f;
  EXPECT_GE(figure, 7);
  // The twelve ring drops: 330, 330.2, 334, 334.2, ..., 350, 350.2.
  for (int pair = 0; pair < 6; ++pair) {
    for (float offset : {0.0f, 0.2f}) {
      float drop = 330.0f + 4.0f * pair + offset;
      bool found = false;
      for (float beat : ons) found = found || std::fabs(beat - drop) < 1e-3f;
      EXPECT_TRUE(found) << drop;
    }
  }
}

TEST_F(Soundtrack, StreamOutlastsTheLastScene) {
  double seconds = static_cast<double>(music_->lengthBytes) / (4.0 * 44100.0);
  EXPECT_GE(seconds * music_->tempo / 60.0, 581.0);
  // Every association of the configuration found its track.
  size_t modulators = 0;
  for (const MidiTrack& track : music_->midi->tracks) modulators += track.modulators.size();
  EXPECT_GE(modulators, 2u);
}

}  // namespace
