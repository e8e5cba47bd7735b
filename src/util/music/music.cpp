#include "util/music/music.h"

#include <cstdio>
#include <cstring>

#include "util/data/data.h"
#include "util/error.h"

namespace {
// The clock's wrap correction is shared by every reader of the clock.
float lastReading = 0.0f;
float correction = 0.0f;
}  // namespace

Music::Music(const char* path, const Music* playing) {
  size_t length = std::strlen(path);
  std::string ending = length >= 4 ? std::string(path + length - 4) : std::string(path);
  if (ending == ".mp3" || ending == ".ogg")
    loadStream(path, playing);
  else if (ending == ".xml")
    loadSync(path, playing);
  else
    FATAL("Music format %s not supported", ending.c_str());
}

void Music::loadStream(const std::string& path, const Music* playing) {
  if ((audioLayerVersion() >> 16) != (kAudioLayerVersion >> 16))
    FATAL("An incorrect version of the audio layer was loaded");
  if (!playing) startAudioInit();  // answered when the music starts, after the loading

  FILE* file = dataFopen(path.c_str(), "rb");
  if (!file) FATAL("Failed to open %s", path.c_str());
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::rewind(file);
  auto bytes = std::make_shared<std::vector<uint8_t>>(size > 0 ? static_cast<size_t>(size) : 0);
  if (bytes->empty() || std::fread(bytes->data(), bytes->size(), 1, file) != 1)
    FATAL("Failed to read music data from %s!", path.c_str());
  std::fclose(file);
  file_ = std::move(bytes);
  streamPath_ = path;

  if (playing) {
    deviceFound_ = playing->deviceFound_;
    if (playing->stream_ && playing->streamPath_ == path && *playing->file_ == *file_) {
      stream_ = playing->stream_;
    }
  }
  // A stream that cannot be decoded is not reported here: play reports it.
  if (!stream_) stream_ = AudioStream::open(file_);
  if (stream_) {
    lengthBytes = stream_->lengthBytes();
    lengthSeconds = static_cast<int32_t>(stream_->bytesToSeconds(lengthBytes));
  }
}

const std::vector<uint8_t>& Music::streamFile() const {
  static const std::vector<uint8_t> none;
  return file_ ? *file_ : none;
}

void Music::loadMidi(const std::string& path) {
  midiPath_ = path;
  midi = std::make_unique<MidiFile>(path.c_str());
  tempo = midi->tempo;
}

void Music::play() {
  resetSteps();
  start();
}

void Music::resetSteps() {
  for (int i = 0; i < 10; ++i) {
    beatHistory[i] = beatOffset;
    byteHistory[i] = 0;
  }
  beatStep = 0.0f;
  byteStep = 0;
}

void Music::start() {
  if (stream_ && !deviceFound_) {
    if (!audioInit()) FATAL("Can't initialize device");
    deviceFound_ = true;
  }
  if (stream_) {
    stream_->setLooping(false);
    stream_->play();
  }
  if (!isPlaying()) FATAL("Failed to start the music!");
}

void Music::beginCatchUp() {
  resetSteps();
  if (stream_) stream_->simulate(true);
}

void Music::endCatchUp() {
  if (stream_) stream_->simulate(false);
}

float Music::time() {
  double seconds = stream_ ? stream_->positionSeconds() : 0.0;
  float reading = static_cast<float>(seconds * (1.0 / 60.0) * tempo + beatOffset);
  if (lastReading > reading + 1.0f) correction += lastReading;
  lastReading = reading;
  return reading + correction;
}

void Music::update() {
  beatStep = 0.0f;
  byteStep = 0;
  for (int i = 0; i < 9; ++i) {
    beatStep += beatHistory[i + 1] - beatHistory[i];
    beatHistory[i] = beatHistory[i + 1];
    byteStep += byteHistory[i + 1] - byteHistory[i];
    byteHistory[i] = byteHistory[i + 1];
  }
  beatHistory[9] = time();
  byteHistory[9] = static_cast<int32_t>(stream_ ? stream_->position() & 0xffffffffu : 0);
  beatStep += beatHistory[9] - beatHistory[8];
  byteStep += byteHistory[9] - byteHistory[8];
  beatStep *= 0.1f;
  byteStep /= 10;
}

std::vector<float> Music::noteStates(const char* trackName) const {
  if (!midiPath_.empty()) noteFileUse(midiPath_.c_str());
  if (!syncPath_.empty()) noteFileUse(syncPath_.c_str());
  if (!midi) FATAL("Attempted to get note states without a valid MIDI file loaded!");
  MidiTrack* track = midi->track(trackName);
  if (!track) FATAL("Could not find track \"%s\"!", trackName);
  for (const MidiNote& note : track->notes)
    if (note.name == "C5") return note.events;
  return std::vector<float>();
}

std::vector<float> Music::noteOnBeats(const char* trackName) const {
  const std::vector<float> states = noteStates(trackName);
  std::vector<float> beats;
  for (size_t i = 0; i < states.size(); i += 2) beats.push_back(states[i]);
  return beats;
}

void Music::waveform(float* buffer) const {
  if (!buffer) FATAL("Invalid buffer");
  if (stream_)
    stream_->currentSamples(buffer);
  else
    std::fill(buffer, buffer + 1024, 0.0f);
}

void Music::setVolume(float volume) {
  if (stream_) stream_->setVolume(volume);
}

void Music::seekToBeat(float beat) {
  if (stream_) stream_->setPositionSeconds((beat - beatOffset) * 60.0 / tempo);
}

void Music::advance(double seconds) {
  if (stream_) stream_->advance(seconds);
}

void Music::resetClock() {
  lastReading = 0.0f;
  correction = 0.0f;
}
