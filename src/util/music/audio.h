#pragma once
// The audio layer: the music stream under Music.
//
// A compressed stream is decoded from memory: Ogg Vorbis on a thread of its
// own (its length is known at once) that begins when the stream first plays
// or its samples are first waited for, and keeps a fixed time ahead of the
// sound (kDecodeAheadSeconds); MP3 whole when it opens. It plays through an SDL2 audio device. Positions and lengths
// are in bytes of 16-bit stereo PCM at the stream's own rate. The position
// is the one being heard: the device's buffering is taken into account, so
// picture and sound stay together.
//
// Offline mode has no device at all: the position moves only when the
// program advances it, exactly, one frame at a time (for rendering single
// frames, capturing the show and tests).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct VorbisDecoder;

// The layer's version: major in the high 16 bits. Music checks that the
// layer it runs with is the one it was written for.
constexpr uint32_t kAudioLayerVersion = 0x00010000u;
uint32_t audioLayerVersion();

// Offline mode for every stream opened afterwards. Set before audioInit.
void setAudioOffline(bool offline);
bool audioOffline();

// Where nobody listens (a batch run, a machine without a display), a missing
// sound device need not stop the show: with the fallback allowed, audioInit
// says so on standard error and plays to SDL's silent dummy device instead.
void setSilentFallback(bool allowed);
// Makes sure an output device can be opened (always true offline).
bool audioInit();
// Begins audioInit's work on a thread of its own, so that SDL's search for a
// device (a tenth of a second or more where there is none: its backends are
// tried, shut down and the dummy one started) goes on while the show loads;
// the next audioInit waits for it and gives its answer. Nothing to do
// offline or while a search is under way. Call it after the video has
// started (an exit waits for the search before SDL shuts down) and with the
// offline mode and the fallback set.
void startAudioInit();

// An allocator that leaves new elements uninitialised. The decoder writes
// every sample of the stream's buffer before anyone reads it, so the buffer
// for a whole show (some 50 MB) costs no zeroing while loading.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// 16-bit stereo samples, interleaved.
using PcmBuffer = std::vector<int16_t, UninitialisedAllocator<int16_t>>;

class AudioStream {
 public:
  // Opens a stream held in memory; null when it is neither a readable Ogg
  // Vorbis nor MP3 stream, or holds no sound. An Ogg Vorbis stream is
  // decoded as it plays and keeps the bytes (shared: no copy of its own);
  // an MP3 stream is decoded at once and keeps nothing.
  static std::unique_ptr<AudioStream> open(std::shared_ptr<const std::vector<uint8_t>> bytes);
  // The same for bytes the stream copies when it keeps them.
  static std::unique_ptr<AudioStream> open(const uint8_t* bytes, size_t length);
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  int rate() const { return rate_; }
  uint64_t lengthBytes() const { return pcm_.size() * sizeof(int16_t); }
  double bytesToSeconds(uint64_t bytes) const { return static_cast<double>(bytes) / (4.0 * rate_); }

  // Both take effect from the device's next buffer.
  void setLooping(bool looping);
  void setVolume(float volume);
  // Where playback starts, or where the offline clock stands.
  void setPositionSeconds(double seconds);

  // Starts playback; false when no device can play it.
  bool play();
  // Holds playback where it is heard now, and goes on from there. A held
  // stream still counts as playing; offline, the clock moves only by
  // advance either way.
  void pause();
  void resume();
  // Ends playback and closes the sound device; play opens one again.
  void stop();
  bool paused() const { return paused_; }
  // Playing until the end has been heard (never ends while looping).
  bool isPlaying() const;
  // Bytes of 16-bit stereo PCM heard so far.
  uint64_t position() const;
  // The same in seconds; exact in offline mode.
  double positionSeconds() const;
  // Offline mode, or while simulating: moves the position on.
  void advance(double seconds);
  // Simulating: the position starts at 0 and moves only by advance, as in
  // offline mode, while nothing plays. Switched off, the stream stands where
  // the simulation left it (playback starts there).
  void simulate(bool on);

  // The 512 stereo frames (1024 floats, interleaved) from the position on;
  // waits for the decoder to have them.
  void currentSamples(float* out) const;

  // The decoded sound, 16-bit stereo interleaved; waits for the whole.
  const PcmBuffer& pcm() const;
  // How much of the stream the decoder has made so far.
  double decodedSeconds() const;

  // The decoder works this far ahead of the sound (of the device's feed, or
  // of the program's clock) and of any samples waited for, and waits there
  // until the sound moves on: its work is spread over the playing instead
  // of taking a core at the start.
  static constexpr double kDecodeAheadSeconds = 10.0;

 private:
  AudioStream() = default;
  static void feed(void* self, uint8_t* out, int length);
  // The decoder thread's work: block after block into pcm_.
  void decode();
  // Until the first `frames` are decoded, or the stream has ended. Lets the
  // decoder begin if it has not yet.
  void waitDecoded(uint64_t frames) const;
  // The decoder begins when the stream first plays or samples are first
  // waited for, not while the show loads: the loading has the other core.
  void allowDecoding() const;
  // Raises the decoder's goal to `frames` and the time ahead beyond them
  // (the device's thread: without waking it, as it looks now and then).
  void wantDecoded(uint64_t frames, bool wake) const;
  uint64_t heardFrames() const;
  uint64_t frames() const { return pcm_.size() / 2; }
  bool programClock() const { return offline_ || simulating_; }

  // The whole stream's samples: its size is fixed before the decoder starts,
  // which writes the frames in order and then publishes their count (and
  // silences what a stream that ends early leaves unwritten).
  PcmBuffer pcm_;
  std::shared_ptr<const std::vector<uint8_t>> compressed_;
  std::unique_ptr<VorbisDecoder> vorbis_;
  std::thread decoder_;
  std::atomic<uint64_t> decodedFrames_{0};
  mutable std::atomic<uint64_t> decodeGoal_{0};  // frames the decoder works toward
  std::atomic<bool> stopDecoding_{false};
  mutable std::mutex decodeMutex_;
  mutable std::condition_variable decodeProgress_;
  bool decodeEnded_ = false;            // under decodeMutex_
  mutable bool decodeAllowed_ = false;  // under decodeMutex_
  int rate_ = 44100;
  bool offline_ = false;
  bool simulating_ = false;
  bool playing_ = false;
  bool paused_ = false;
  double pausedSeconds_ = 0.0;  // where a held stream stands, exactly as put there
  double offlineSeconds_ = 0.0;

  // Shared with the device's thread: written under the device lock (which
  // the device holds while it asks for sound), read by the main thread,
  // which is the only writer, without it.
  uint32_t device_ = 0;
  bool looping_ = false;
  float volume_ = 1.0f;
  uint64_t fedFrames_ = 0;     // handed to the device so far (grows past the end too)
  uint64_t lastFeedTicks_ = 0; // performance counter at the last feed
  uint32_t bufferFrames_ = 0;
  // Where playback was put (a start, a move, a resume): nothing before it
  // is heard any more, though the device's next buffer is still to come.
  uint64_t putFrames_ = 0;
};
