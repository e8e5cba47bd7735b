// The audio layer while its device thread plays: every change the main
// thread makes during playback (volume, looping, position) and every reading
// it takes runs beside the device's requests for sound. Run under
// ThreadSanitizer, which reports any access not ordered by the device lock.
#include <gtest/gtest.h>

#include <chrono>
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

}  // namespace
