// The audio layer while its device thread plays: every change the main
// thread makes during playback (volume, looping, position) and every reading
// it takes runs beside the device's requests for sound. Run under
// ThreadSanitizer, which reports any access not ordered by the device lock.
// The stream's decoder thread writes its samples beside both.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "tone.h"
#include "util/music/audio.h"

namespace {

TEST(AudioThreads, ChangesAndReadingsDuringPlaybackAreOrderedWithTheDevice) {
  setAudioOffline(false);  // SDL's dummy driver, set by the test environment
  ASSERT_TRUE(audioInit());
  std::vector<uint8_t> ogg = encodedTone(1.0, "ogg");
  std::unique_ptr<AudioStream> stream = AudioStream::open(ogg.data(), ogg.size());
  ASSERT_TRUE(stream);
  stream->setLooping(true);
  ASSERT_TRUE(stream->play());
  float samples[1024];
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
    stream->setVolume(i % 2 ? 0.5f : 1.0f);
    if (i % 50 == 0) stream->setPositionSeconds(0.25);
    EXPECT_TRUE(stream->isPlaying()) << "looping never ends";
    EXPECT_LT(stream->position(), stream->lengthBytes());
    stream->currentSamples(samples);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Looping off while playing: the one-second stream then ends.
  stream->setLooping(false);
  stream->setPositionSeconds(0.9);
  for (int i = 0; i < 200 && stream->isPlaying(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(stream->isPlaying());
}

TEST(AudioThreads, SamplesReadWhileTheDecoderRunsAreTheDecodedOnes) {
  // Offline, so the position is exact; the samples at the end of a long
  // stream are asked for at once, long before a decoder reaches them.
  setAudioOffline(true);
  std::vector<uint8_t> ogg = encodedTone(20.0, "ogg");
  std::unique_ptr<AudioStream> stream = AudioStream::open(ogg.data(), ogg.size());
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->lengthBytes(), 20u * 44100 * 4) << "the length is known before the decoding";
  stream->setPositionSeconds(19.5);
  float late[1024];
  stream->currentSamples(late);
  const PcmBuffer& whole = stream->pcm();
  const size_t first = static_cast<size_t>(19.5 * 44100) * 2;
  int differing = 0;
  for (size_t i = 0; i < 1024; ++i) differing += late[i] != whole[first + i] / 32768.0f;
  EXPECT_EQ(differing, 0);
  float loud = 0;
  for (float sample : late) loud = std::max(loud, std::fabs(sample));
  EXPECT_GT(loud, 0.1f) << "the tone, not silence";
  // Closed while its decoder is still at work: it stops and joins.
  for (int i = 0; i < 5; ++i) AudioStream::open(ogg.data(), ogg.size()).reset();
  setAudioOffline(false);
}

TEST(AudioThreads, TheDecoderKeepsItsTimeAheadOfTheSoundAndNoMore) {
  setAudioOffline(true);
  std::vector<uint8_t> ogg = encodedTone(30.0, "ogg");
  std::unique_ptr<AudioStream> stream = AudioStream::open(ogg.data(), ogg.size());
  ASSERT_TRUE(stream);
  const double ahead = AudioStream::kDecodeAheadSeconds;
  ASSERT_LT(1.0 + ahead + 5.0, 30.0) << "the stream must be longer than the time ahead";
  ASSERT_TRUE(stream->play());  // a second of sound is there before it plays
  EXPECT_GE(stream->decodedSeconds(), 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // One Vorbis block (at most 4096 frames) may go past the goal.
  EXPECT_LE(stream->decodedSeconds(), 1.0 + ahead + 0.1) << "no further than the time ahead";
  // The clock moves on: so does the decoder, and the samples there are the tone's.
  stream->advance(15.0);
  float samples[1024];
  stream->currentSamples(samples);
  EXPECT_GE(stream->decodedSeconds(), 15.0);
  float loud = 0;
  for (float sample : samples) loud = std::max(loud, std::fabs(sample));
  EXPECT_GT(loud, 0.1f);
  for (int i = 0; i < 100 && stream->decodedSeconds() < 15.0 + ahead - 0.1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(stream->decodedSeconds(), 15.0 + ahead - 0.1) << "the time ahead again";
  EXPECT_LE(stream->decodedSeconds(), 15.0 + ahead + 0.1);
  // The whole, when the whole is asked for; closed while it waits, it stops.
  EXPECT_EQ(stream->pcm().size(), 30u * 44100 * 2);
  EXPECT_DOUBLE_EQ(stream->decodedSeconds(), 30.0);
  std::unique_ptr<AudioStream> waiting = AudioStream::open(ogg.data(), ogg.size());
  ASSERT_TRUE(waiting->play());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  waiting.reset();
  setAudioOffline(false);
}

}  // namespace
