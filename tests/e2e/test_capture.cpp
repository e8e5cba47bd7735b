// Video captures: the frames, their rate and size, and a sound that starts
// with the first frame's beat and lasts as long as the picture; a capture
// cut short by a signal or Escape leaves nothing behind and says so with
// its exit code.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "tempfiles.h"
#include "util/music/audio.h"
#include "util/music/midi.h"
#include "xvfb.h"

namespace {

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The temporary sound files of captures, by name.
std::string soundFiles() {
  std::string out;
  runCapture({"sh", "-c", "ls /tmp | grep '^tinlantern-sound-' || true"}, {}, out);
  return out;
}

// One ffprobe field of the first stream of a kind ("v:0", "a:0").
std::string probe(const std::string& file, const std::string& stream, const std::string& field) {
  std::string out;
  runCapture({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
              "stream=" + field, "-of", "default=noprint_wrappers=1:nokey=1", file},
             {}, out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Mono samples (-1..1) of the first `seconds` of a file's sound, decoded by ffmpeg.
std::vector<float> decodedSound(const std::string& file, double seconds) {
  std::string pcm;
  runCapture({"ffmpeg", "-v", "error", "-i", file, "-t", std::to_string(seconds), "-f", "s16le",
              "-ac", "1", "-ar", "44100", "-"},
             {}, pcm);
  std::vector<float> samples(pcm.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    int16_t value;
    std::memcpy(&value, pcm.data() + 2 * i, 2);
    samples[i] = value / 32768.0f;
  }
  return samples;
}

// The best normalised correlation of `a` with `b` shifted by up to `lag` samples.
double correlation(const std::vector<float>& a, const std::vector<float>& b, int lag) {
  double best = -1.0;
  for (int shift = -lag; shift <= lag; shift += 4) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      long j = static_cast<long>(i) + shift;
      if (j < 0 || j >= static_cast<long>(b.size())) continue;
      ab += a[i] * b[j];
      aa += a[i] * a[i];
      bb += b[j] * b[j];
    }
    if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb_.running()) << "Xvfb did not start";
    env_ = {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
    std::string ogg = readFile("data/common/music/sp10-invite.ogg");
    ASSERT_FALSE(ogg.empty()) << "run from the repository root, after the asset generator";
    music_ = AudioStream::open(reinterpret_cast<const uint8_t*>(ogg.data()), ogg.size());
    ASSERT_TRUE(music_);
    std::string mid = readFile("data/common/music/sp10-invite.mid");
    MidiFile midi(reinterpret_cast<const uint8_t*>(mid.data()), mid.size());
    tempo_ = midi.tempo;
  }

  // The music itself, mono, from `seconds` on.
  std::vector<float> music(double seconds, double length) const {
    const auto& pcm = music_->pcm();
    size_t first = static_cast<size_t>(seconds * 44100);
    std::vector<float> out;
    for (size_t i = first; i < first + static_cast<size_t>(length * 44100) && 2 * i + 1 < pcm.size(); ++i)
      out.push_back((pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f);
    return out;
  }

  XvfbServer xvfb_;
  std::vector<std::string> env_;
  std::unique_ptr<AudioStream> music_;
  double tempo_ = 0;
  TempDir dir_;
};

TEST_F(Capture, VideoFromABeatHasItsFramesAndTheMusicFromThatBeat) {
  const int fps = 10;
  std::string video = dir_.file("x.mp4");
  Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--start", "575",
                             "--capture", video, "--fps", std::to_string(fps), "--size", "160x90"},
                            env_);
  ASSERT_EQ(waitProcess(show, 120), 0) << readFile(show.stderrPath);

  // The first frame is the first of a run from the beginning at or after
  // beat 575 (frame k shows k / fps x tempo / 60 + 0.1); the frames run to
  // the one that finds the stream stopped, and one more.
  long first = 0;
  while (static_cast<double>(first) / fps * tempo_ / 60.0 + 0.1 < 575.0 - 1e-3) ++first;
  double startSeconds = static_cast<double>(first) / fps;
  double left = music_->bytesToSeconds(music_->lengthBytes()) - startSeconds;
  int expected = static_cast<int>(std::ceil(left * fps - 1e-6)) + 2;
  EXPECT_NEAR(std::stoi(probe(video, "v:0", "nb_frames")), expected, 1);
  EXPECT_EQ(probe(video, "v:0", "r_frame_rate"), "10/1");
  EXPECT_EQ(probe(video, "v:0", "width"), "160");
  EXPECT_EQ(probe(video, "v:0", "height"), "90");
  ASSERT_EQ(probe(video, "a:0", "codec_type"), "audio");
  double pictureSeconds = std::stod(probe(video, "v:0", "duration"));
  double soundSeconds = std::stod(probe(video, "a:0", "duration"));
  EXPECT_NEAR(soundSeconds, pictureSeconds, 0.05) << "the sound lasts as long as the picture";

  // Its first second is the music at beat 575, not the music's beginning.
  std::vector<float> sound = decodedSound(video, 1.0);
  ASSERT_GT(sound.size(), 40000u);
  double atTheBeat = correlation(sound, music(startSeconds, 1.0), 2048);
  double atTheStart = correlation(sound, music(0.0, 1.0), 2048);
  EXPECT_GT(atTheBeat, 0.9);
  EXPECT_LT(atTheStart, 0.5);
  EXPECT_EQ(access((video + ".partial").c_str(), F_OK), -1);
  EXPECT_EQ(soundFiles(), "");
}

TEST_F(Capture, ASignalOrEscapeStopsItAndLeavesNothingBehind) {
  std::string before = soundFiles();
  for (const char* how : {"SIGINT", "SIGTERM", "Escape"}) {
    std::string video = dir_.file(std::string(how) + ".mp4");
    // A long stretch of show: still running when it is stopped.
    Child show = spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--start", "120",
                               "--capture", video, "--fps", "30", "--size", "160x90"},
                              env_);
    ASSERT_TRUE(waitForStderr(show, " files in ", 60)) << readFile(show.stderrPath);
    sleepSeconds(0.5);
    if (std::string(how) == "Escape") {
      std::string ignored;
      ASSERT_EQ(runCapture({"xdotool", "search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern",
                            "windowfocus", "--sync", "key", "Escape"},
                           env_, ignored, 20),
                0);
    } else {
      kill(show.pid, std::string(how) == "SIGINT" ? SIGINT : SIGTERM);
    }
    EXPECT_EQ(waitProcess(show, 30), 1) << how << ": " << readFile(show.stderrPath);
    EXPECT_NE(readFile(show.stderrPath).find("stopped before its end: nothing was written"),
              std::string::npos)
        << readFile(show.stderrPath);
    EXPECT_EQ(access(video.c_str(), F_OK), -1) << how << ": no half-written video";
    EXPECT_EQ(access((video + ".partial").c_str(), F_OK), -1) << how;
    EXPECT_EQ(soundFiles(), before) << how << ": the temporary sound is gone";
  }
}

}  // namespace
