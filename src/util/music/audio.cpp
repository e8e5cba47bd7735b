#include "util/music/audio.h"

#include <SDL.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>

#include "platform/system.h"

namespace {

bool offlineMode = false;
bool silentFallback = false;

bool canOpenDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (probe == 0) return false;
  SDL_CloseAudioDevice(probe);
  return true;
}

// --- decoding --------------------------------------------------------------

struct Memory {
  const uint8_t* bytes;
  size_t length;
  size_t at;
};

size_t memoryRead(void* out, size_t size, size_t count, void* source) {
  Memory* m = static_cast<Memory*>(source);
  if (size == 0) return 0;
  size_t items = std::min(count, (m->length - m->at) / size);
  std::memcpy(out, m->bytes + m->at, items * size);
  m->at += items * size;
  return items;
}

int memorySeek(void* source, ogg_int64_t offset, int whence) {
  Memory* m = static_cast<Memory*>(source);
  ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(m->at)
                                                                 : static_cast<ogg_int64_t>(m->length);
  ogg_int64_t to = base + offset;
  if (to < 0 || to > static_cast<ogg_int64_t>(m->length)) return -1;
  m->at = static_cast<size_t>(to);
  return 0;
}

long memoryTell(void* source) { return static_cast<long>(static_cast<Memory*>(source)->at); }

// Appends interleaved samples of any channel count as stereo.
void appendStereo(PcmBuffer& pcm, const int16_t* samples, size_t frames, int channels) {
  for (size_t i = 0; i < frames; ++i) {
    const int16_t* frame = samples + i * static_cast<size_t>(channels);
    int16_t left = frame[0];
    int16_t right = channels > 1 ? frame[1] : frame[0];
    pcm.push_back(left);
    pcm.push_back(right);
  }
}

}  // namespace

// An Ogg Vorbis stream decoded from memory, block by block, into a buffer
// sized for the whole stream: the stream's length is known before a sample
// is decoded.
struct VorbisDecoder {
  Memory source{};
  OggVorbis_File file{};
  bool opened = false;
  int channels = 0;
  int section = 0;
  std::vector<int16_t> block;

  ~VorbisDecoder() {
    if (opened) ov_clear(&file);
  }
  // False when the bytes are no readable Vorbis stream; `frames` is its length.
  bool open(const uint8_t* bytes, size_t length, int& rate, uint64_t& frames) {
    source = {bytes, length, 0};
    ov_callbacks callbacks = {memoryRead, memorySeek, nullptr, memoryTell};
    if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return false;
    opened = true;
    vorbis_info* info = ov_info(&file, -1);
    ogg_int64_t total = ov_pcm_total(&file, -1);
    if (!info || info->channels < 1 || total <= 0) return false;
    rate = static_cast<int>(info->rate);
    channels = info->channels;
    frames = static_cast<uint64_t>(total);
    block.resize(4096 * static_cast<size_t>(channels));
    return true;
  }
  // Decodes the next block as stereo into `out` (room for `room` frames);
  // the frames written, 0 at the end of the stream or where it breaks off.
  size_t next(int16_t* out, size_t room) {
    while (room > 0) {
      const size_t want = std::min(room, block.size() / static_cast<size_t>(channels));
      long got = ov_read(&file, reinterpret_cast<char*>(block.data()),
                         static_cast<int>(want * static_cast<size_t>(channels) * sizeof(int16_t)), 0, 2, 1,
                         &section);
      if (got == OV_HOLE) continue;  // a gap in the data: go on after it
      if (got <= 0) return 0;
      vorbis_info* now = ov_info(&file, section);
      if (!now || now->channels != channels) return 0;  // chained streams of another layout
      const size_t frames = static_cast<size_t>(got) / (sizeof(int16_t) * static_cast<size_t>(channels));
      for (size_t i = 0; i < frames; ++i) {
        const int16_t* frame = block.data() + i * static_cast<size_t>(channels);
        out[i * 2] = frame[0];
        out[i * 2 + 1] = channels > 1 ? frame[1] : frame[0];
      }
      return frames;
    }
    return 0;
  }
};

namespace {

bool looksLikeMp3(const uint8_t* bytes, size_t length) {
  if (length >= 3 && std::memcmp(bytes, "ID3", 3) == 0) return true;
  return length >= 2 && bytes[0] == 0xff && (bytes[1] & 0xe0) == 0xe0;
}

bool decodeMp3(const uint8_t* bytes, size_t length, PcmBuffer& pcm, int& rate) {
  static bool initialised = mpg123_init() == MPG123_OK;
  if (!initialised) return false;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  if (!handle) return false;
  // Always 16-bit samples, whatever the rate and channel count.
  mpg123_format_none(handle);
  const long* rates;
  size_t rateCount;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  bool ok = mpg123_open_feed(handle) == MPG123_OK &&
            mpg123_feed(handle, bytes, length) == MPG123_OK;
  int channels = 0;
  std::vector<int16_t> block(8192);
  while (ok) {
    size_t done = 0;
    int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(block.data()),
                             block.size() * sizeof(int16_t), &done);
    if (result == MPG123_NEW_FORMAT) {
      long r;
      int encoding;
      mpg123_getformat(handle, &r, &channels, &encoding);
      rate = static_cast<int>(r);
      continue;
    }
    if (channels > 0 && done > 0)
      appendStereo(pcm, block.data(), done / (sizeof(int16_t) * static_cast<size_t>(channels)), channels);
    if (result != MPG123_OK) break;  // done, or nothing more to decode
  }
  mpg123_delete(handle);
  return ok && channels > 0;
}

}  // namespace

uint32_t audioLayerVersion() { return kAudioLayerVersion; }

void setAudioOffline(bool offline) { offlineMode = offline; }
bool audioOffline() { return offlineMode; }

void setSilentFallback(bool allowed) { silentFallback = allowed; }

namespace {

std::future<bool> pendingInit;

bool initialiseAudio(bool offline, bool fallback) {
  if (offline) return true;
  if (canOpenDevice()) return true;
  if (!fallback) return false;
  // SDL's dummy device keeps the clock without making a sound. A hint, not
  // the environment: this may run beside the loading, whose libraries read
  // the environment.
  std::fprintf(stderr, "tinlantern: no sound device (%s): the show plays silently\n", SDL_GetError());
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  return canOpenDevice();
}

// An exit mid-search (a fatal error while loading) lets the search finish
// first: SDL_Quit, registered before, would otherwise shut the audio down
// under it.
void finishSearchAtExit() {
  if (pendingInit.valid()) pendingInit.wait();
}

}  // namespace

void startAudioInit() {
  if (offlineMode || pendingInit.valid()) return;
  try {
    pendingInit = std::async(std::launch::async, [fallback = silentFallback] {
      bool opened = initialiseAudio(false, fallback);
      // SDL frees its per-thread data (the error text) itself only on
      // threads that it made.
      SDL_TLSCleanup();
      return opened;
    });
  } catch (const std::system_error&) {
    // No thread to be had: audioInit does the work itself.
    return;
  }
  static const bool registered = std::atexit(finishSearchAtExit) == 0;
  (void)registered;
}

bool audioInit() {
  if (pendingInit.valid()) return pendingInit.get();
  return initialiseAudio(offlineMode, silentFallback);
}

std::unique_ptr<AudioStream> AudioStream::open(const uint8_t* bytes, size_t length) {
  return open(std::make_shared<const std::vector<uint8_t>>(bytes, bytes + length));
}

std::unique_ptr<AudioStream> AudioStream::open(std::shared_ptr<const std::vector<uint8_t>> file) {
  std::unique_ptr<AudioStream> stream(new AudioStream());
  stream->offline_ = offlineMode;
  if (!file) return nullptr;
  const uint8_t* const bytes = file->data();
  const size_t length = file->size();
  if (length >= 4 && std::memcmp(bytes, "OggS", 4) == 0) {
    // Decoded as it plays, from the bytes it keeps.
    stream->compressed_ = std::move(file);
    stream->vorbis_ = std::make_unique<VorbisDecoder>();
    uint64_t frames = 0;
    if (!stream->vorbis_->open(bytes, length, stream->rate_, frames) || stream->rate_ <= 0)
      return nullptr;
    stream->pcm_.resize(frames * 2);  // uninitialised: the decoder fills it
    stream->decoder_ = std::thread([s = stream.get()] { s->decode(); });
    return stream;
  }
  if (!looksLikeMp3(bytes, length) || !decodeMp3(bytes, length, stream->pcm_, stream->rate_) ||
      stream->pcm_.empty() || stream->rate_ <= 0)
    return nullptr;
  stream->decodedFrames_ = stream->frames();
  stream->decodeEnded_ = true;
  return stream;
}

AudioStream::~AudioStream() {
  {
    std::lock_guard<std::mutex> lock(decodeMutex_);
    stopDecoding_ = true;
  }
  decodeProgress_.notify_all();  // wakes a decoder waiting for the sound
  allowDecoding();                // or one that never began
  if (decoder_.joinable()) decoder_.join();
  if (device_) SDL_CloseAudioDevice(device_);
}

void AudioStream::decode() {
  // Far ahead of the sound from its first second, the decoder gives way to
  // the show's own threads.
  lowerThreadPriority();
  {
    std::unique_lock<std::mutex> lock(decodeMutex_);
    decodeProgress_.wait(lock, [&] { return decodeAllowed_; });
  }
  const uint64_t total = frames();
  uint64_t done = 0;
  while (done < total && !stopDecoding_) {
    if (done >= decodeGoal_.load(std::memory_order_acquire)) {
      // Far enough ahead. The device's feed raises the goal without waking
      // the decoder, so it looks again every 50 ms.
      std::unique_lock<std::mutex> lock(decodeMutex_);
      decodeProgress_.wait_for(lock, std::chrono::milliseconds(50), [&] {
        return stopDecoding_ || done < decodeGoal_.load(std::memory_order_acquire);
      });
      continue;
    }
    const size_t got = vorbis_->next(&pcm_[done * 2], static_cast<size_t>(total - done));
    if (got == 0) {  // the rest is silence
      std::fill(pcm_.begin() + static_cast<ptrdiff_t>(done * 2), pcm_.end(), int16_t{0});
      break;
    }
    done += got;
    {
      std::lock_guard<std::mutex> lock(decodeMutex_);
      decodedFrames_.store(done, std::memory_order_release);
    }
    decodeProgress_.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(decodeMutex_);
    decodeEnded_ = true;
  }
  decodeProgress_.notify_all();
}

void AudioStream::allowDecoding() const {
  {
    std::lock_guard<std::mutex> lock(decodeMutex_);
    if (decodeAllowed_) return;
    decodeAllowed_ = true;
  }
  decodeProgress_.notify_all();
}

void AudioStream::wantDecoded(uint64_t frames, bool wake) const {
  const uint64_t goal = std::min(frames + static_cast<uint64_t>(kDecodeAheadSeconds * rate_), this->frames());
  uint64_t now = decodeGoal_.load(std::memory_order_relaxed);
  if (now >= goal) return;
  if (!wake) {
    while (now < goal && !decodeGoal_.compare_exchange_weak(now, goal, std::memory_order_release)) {
    }
    return;
  }
  {
    std::lock_guard<std::mutex> lock(decodeMutex_);
    if (decodeGoal_.load(std::memory_order_relaxed) < goal) decodeGoal_.store(goal, std::memory_order_release);
  }
  decodeProgress_.notify_all();
}

void AudioStream::waitDecoded(uint64_t frames) const {
  wantDecoded(frames, true);
  if (decodedFrames_.load(std::memory_order_acquire) >= frames) return;
  allowDecoding();
  std::unique_lock<std::mutex> lock(decodeMutex_);
  decodeProgress_.wait(lock, [&] { return decodeEnded_ || decodedFrames_.load() >= frames; });
}

const PcmBuffer& AudioStream::pcm() const {
  waitDecoded(frames());
  return pcm_;
}

double AudioStream::decodedSeconds() const {
  return static_cast<double>(decodedFrames_.load(std::memory_order_acquire)) / rate_;
}

void AudioStream::setLooping(bool looping) {
  if (device_) SDL_LockAudioDevice(device_);
  looping_ = looping;
  if (device_) SDL_UnlockAudioDevice(device_);
}

void AudioStream::setVolume(float volume) {
  if (device_) SDL_LockAudioDevice(device_);
  volume_ = volume;
  if (device_) SDL_UnlockAudioDevice(device_);
}

void AudioStream::setPositionSeconds(double seconds) {
  seconds = std::max(0.0, seconds);
  if (offline_) {
    offlineSeconds_ = seconds;
    wantDecoded(static_cast<uint64_t>(seconds * rate_), true);
    return;
  }
  pausedSeconds_ = seconds;
  if (device_) SDL_LockAudioDevice(device_);
  fedFrames_ = static_cast<uint64_t>(seconds * rate_);
  putFrames_ = fedFrames_;
  lastFeedTicks_ = SDL_GetPerformanceCounter();
  if (device_) SDL_UnlockAudioDevice(device_);
  wantDecoded(static_cast<uint64_t>(seconds * rate_), true);
}

void AudioStream::pause() {
  if (paused_) return;
  if (!offline_ && playing_ && device_) {
    // The device stops at once; what it was handed but has not played is
    // handed again on resuming.
    const uint64_t heard = heardFrames();
    pausedSeconds_ = static_cast<double>(heard) / rate_;
    SDL_PauseAudioDevice(device_, 1);
    SDL_LockAudioDevice(device_);
    fedFrames_ = heard;
    putFrames_ = heard;
    SDL_UnlockAudioDevice(device_);
  }
  paused_ = true;
}

void AudioStream::stop() {
  if (device_) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  playing_ = false;
  paused_ = false;
}

void AudioStream::resume() {
  if (!paused_) return;
  paused_ = false;
  if (!offline_ && playing_ && device_) {
    SDL_LockAudioDevice(device_);
    lastFeedTicks_ = SDL_GetPerformanceCounter();
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
  }
}

bool AudioStream::play() {
  // A second of sound from where it starts is there before it plays.
  if (device_) SDL_LockAudioDevice(device_);
  const uint64_t from = fedFrames_;
  if (device_) SDL_UnlockAudioDevice(device_);
  waitDecoded(std::min(frames(), from + static_cast<uint64_t>(rate_)));
  if (offline_) {
    playing_ = true;
    return true;
  }
  if (!device_) {
    SDL_AudioSpec want, have;
    SDL_zero(want);
    want.freq = rate_;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = feed;
    want.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) return false;
    bufferFrames_ = have.samples;
  }
  lastFeedTicks_ = SDL_GetPerformanceCounter();
  playing_ = true;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void AudioStream::feed(void* self, uint8_t* out, int length) {
  AudioStream* stream = static_cast<AudioStream*>(self);
  int16_t* samples = reinterpret_cast<int16_t*>(out);
  size_t wanted = static_cast<size_t>(length) / 4;
  uint64_t total = stream->frames();
  // The decoder runs well ahead of the sound; should it ever not, silence.
  uint64_t decoded = stream->decodedFrames_.load(std::memory_order_acquire);
  float volume = stream->volume_;
  for (size_t i = 0; i < wanted; ++i) {
    uint64_t frame = stream->fedFrames_ + i;
    if (stream->looping_) frame %= total;
    for (int channel = 0; channel < 2; ++channel) {
      int16_t value = 0;
      if (frame < decoded) {
        float scaled = stream->pcm_[frame * 2 + static_cast<uint64_t>(channel)] * volume;
        value = static_cast<int16_t>(std::max(-32768.0f, std::min(32767.0f, scaled)));
      }
      samples[i * 2 + static_cast<size_t>(channel)] = value;
    }
  }
  stream->fedFrames_ += wanted;
  stream->lastFeedTicks_ = SDL_GetPerformanceCounter();
  stream->wantDecoded(stream->fedFrames_, false);
}

uint64_t AudioStream::heardFrames() const {
  if (programClock()) return static_cast<uint64_t>(offlineSeconds_ * rate_);
  if (!playing_ || paused_) return fedFrames_;
  SDL_LockAudioDevice(device_);
  uint64_t fed = fedFrames_;
  uint64_t put = putFrames_;
  uint64_t since = SDL_GetPerformanceCounter() - lastFeedTicks_;
  SDL_UnlockAudioDevice(device_);
  // What was handed over last is heard after one more buffer has played;
  // in between, the position runs on at the stream's rate.
  // Until the device has taken a buffer from where playback was put, the
  // position runs on from there.
  uint64_t oldest = fed > bufferFrames_ ? fed - bufferFrames_ : 0;
  if (oldest < put) oldest = put;
  double elapsed = static_cast<double>(since) / static_cast<double>(SDL_GetPerformanceFrequency());
  uint64_t heard = oldest + static_cast<uint64_t>(elapsed * rate_);
  return std::min(heard, fed);
}

uint64_t AudioStream::position() const {
  uint64_t heard = heardFrames();
  if (looping_) heard %= frames();
  return std::min(heard, frames()) * 4;
}

double AudioStream::positionSeconds() const {
  if (programClock()) return std::min(offlineSeconds_, bytesToSeconds(lengthBytes()));
  if (paused_ && playing_) return std::min(pausedSeconds_, bytesToSeconds(lengthBytes()));
  return bytesToSeconds(position());
}

bool AudioStream::isPlaying() const {
  if (!playing_) return false;
  if (looping_) return true;
  if (programClock()) return offlineSeconds_ < bytesToSeconds(lengthBytes());
  return heardFrames() < frames();
}

void AudioStream::advance(double seconds) {
  if (!programClock()) return;
  offlineSeconds_ += seconds;
  wantDecoded(static_cast<uint64_t>(offlineSeconds_ * rate_), true);
}

void AudioStream::simulate(bool on) {
  if (on) {
    simulating_ = true;
    offlineSeconds_ = 0.0;
    return;
  }
  simulating_ = false;
  setPositionSeconds(offlineSeconds_);
}

void AudioStream::currentSamples(float* out) const {
  uint64_t start = position() / 4;
  waitDecoded(std::min(start + 512, frames()));
  for (size_t i = 0; i < 1024; ++i) {
    uint64_t sample = start * 2 + i;
    out[i] = sample < pcm_.size() ? pcm_[sample] / 32768.0f : 0.0f;
  }
}
