#pragma once
// Music: the soundtrack and the show clock.
//
// Built from the sync configuration (which names the music stream and the
// MIDI file and attaches modulators to MIDI tracks) or straight from a
// stream. The clock counts beats from the stream's playback position and
// the MIDI file's tempo, so the whole show follows the music, not the wall
// clock. Besides the clock: a smoothed per-frame beat step, the events of
// one note of a named track, and the samples playing now.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/music/audio.h"
#include "util/music/midi.h"

class Music {
 public:
  // By the path's ending: ".mp3" or ".ogg" a stream alone, ".xml" a sync
  // configuration. Never starts playback. Made again while `playing` plays
  // (maker mode's reload), it shares that music's stream where the stream
  // file is the same, and its answer about the sound device.
  explicit Music(const char* path, const Music* playing = nullptr);

  void loadStream(const std::string& path, const Music* playing = nullptr);
  void loadMidi(const std::string& path);
  void loadSync(const std::string& path, const Music* playing = nullptr);

  // Resets the step windows and starts playback.
  void play();
  // The two halves of play, for a show that first catches up to a later
  // start beat: the step windows as at the start of the show, then, after
  // beginCatchUp ... endCatchUp, playback from where the catch-up left it.
  void resetSteps();
  void start();
  // From beginCatchUp to endCatchUp the clock is moved by advance alone,
  // from 0 s, exactly as offline, and nothing is heard; endCatchUp leaves
  // the stream where the clock stands.
  void beginCatchUp();
  void endCatchUp();
  // The show clock in beats. A jump back of more than one beat (the stream
  // starting again) is corrected, process-wide, so the clock never runs back.
  float time();
  // Once per frame, before any scene draws: advances the step windows.
  void update();
  // The events of note "C5" of the first track of that name: +beat on, -beat
  // off. Counts as a use of the MIDI file and the sync configuration
  // (noteFileUse).
  std::vector<float> noteStates(const char* trackName) const;
  // The beats where that note starts: every other event of noteStates.
  std::vector<float> noteOnBeats(const char* trackName) const;
  // The 1024 samples (stereo interleaved) playing now.
  void waveform(float* buffer) const;

  bool isPlaying() const { return stream_ && stream_->isPlaying(); }
  // Holds the music, and with it the clock, where it is heard now; resume
  // goes on from there. Held music still counts as playing.
  void pause() {
    if (stream_) stream_->pause();
  }
  void resume() {
    if (stream_) stream_->resume();
  }
  bool paused() const { return stream_ && stream_->paused(); }
  // Stops playback and lets the sound device go (another stream takes it).
  void stop() {
    if (stream_) stream_->stop();
  }
  bool sharesStreamWith(const Music& other) const { return stream_ && stream_ == other.stream_; }
  void setVolume(float volume);
  // Moves playback (or the offline clock) to the moment the clock reads `beat`.
  void seekToBeat(float beat);
  // Offline mode: the clock moves only by this.
  void advance(double seconds);
  // The stream's whole length in seconds.
  double durationSeconds() const { return stream_ ? stream_->bytesToSeconds(stream_->lengthBytes()) : 0.0; }
  // Where the stream stands, in seconds (what is heard; exact offline).
  double positionSeconds() const { return stream_ ? stream_->positionSeconds() : 0.0; }

  // For writing the sound beside a captured picture: the stream file as loaded.
  const std::vector<uint8_t>& streamFile() const;
  const std::string& streamPath() const { return streamPath_; }

  // Forgets the process-wide wrap correction (a new show in the same process).
  static void resetClock();

  std::unique_ptr<MidiFile> midi;
  float tempo = 999.0f;     // beats per minute, from the MIDI file
  float beatOffset = 0.1f;  // added to every clock reading
  float beatHistory[10] = {};
  float beatStep = 0.0f;    // mean clock advance per update over the last ten
  int32_t byteHistory[10] = {};
  int32_t byteStep = 0;
  int32_t lengthSeconds = 0;
  uint64_t lengthBytes = 0;

 private:
  std::shared_ptr<AudioStream> stream_;  // shared only with a reload's music
  bool deviceFound_ = false;  // the stream's device search answered
  // The compressed stream as read, shared with the stream that plays it.
  std::shared_ptr<const std::vector<uint8_t>> file_;
  std::string streamPath_;
  // The files the notes come from: reading notes tells the data layer so
  // (maker mode reloads the scenes that read them when they change).
  std::string midiPath_;
  std::string syncPath_;
};
