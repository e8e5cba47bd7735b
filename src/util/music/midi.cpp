#include "util/music/midi.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "util/data/data.h"
#include "util/error.h"

namespace {

const char kUnexpectedEnd[] = "Unexpected end of MIDI file";

// One pass over the whole file with a single cursor. Every read is checked
// against the end of the buffer; the first problem is a failure from the
// line that found it (util/error.h), and parsing stops there.
class MidiParser {
 public:
  MidiParser(const uint8_t* bytes, size_t length, MidiFile& file)
      : at_(bytes), end_(bytes + length), file_(file) {}

  void parse() {
    static const uint8_t kHeader[] = {'M', 'T', 'h', 'd', 0};
    // The sequencer's header length is 6, but only its first byte is examined.
    for (size_t i = 0; i < sizeof kHeader && i < left(); ++i)
      if (at_[i] != kHeader[i])
        fail(__LINE__, "Unknown header info, MIDI file format not recognized\n");
    need(14, __LINE__);
    at_ += 10;  // past the length and the format: tracks are read in file order either way
    const unsigned trackCount = read16();
    division_ = read16();
    // Every beat would be 0/0 or infinite.
    if (division_ == 0) fail(__LINE__, "MIDI time division 0 is not valid");
    for (unsigned i = 0; i < trackCount; ++i)
      parseTrack();
  }

 private:
  size_t left() const { return static_cast<size_t>(end_ - at_); }

  void need(size_t count, int line) {
    if (count > left()) fail(line, "%s", kUnexpectedEnd);
  }

  unsigned read16() {
    const unsigned value = (unsigned(at_[0]) << 8) | at_[1];
    at_ += 2;
    return value;
  }

  uint32_t read32() {
    const uint32_t value = (uint32_t(at_[0]) << 24) | (uint32_t(at_[1]) << 16) |
                           (uint32_t(at_[2]) << 8) | at_[3];
    at_ += 4;
    return value;
  }

  [[noreturn]] void fail(int line, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fatalError(__FILE__, line, "%s", message);
  }

  [[noreturn]] void failShort(int line) { fatalErrorShort(__FILE__, line); }

  // A variable-length quantity of at most four bytes (28 bits).
  uint32_t readQuantity(const char* tooLong) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      need(1, __LINE__);
      const uint8_t byte = *at_++;
      value = (value << 7) | (byte & 0x7F);
      if (!(byte & 0x80)) return value;
    }
    fail(__LINE__, "%s", tooLong);
  }

  void parseTrack() {
    MidiTrack track;
    runningStatus_ = 0;
    ticks_ = 0;
    for (int16_t& index : noteIndex_) index = -1;

    need(4, __LINE__);
    if (std::memcmp(at_, "MTrk", 4) != 0)
      fail(__LINE__, "Could not find track chunk header, unrecognized file format!\n");
    at_ += 4;
    need(4, __LINE__);
    const uint32_t length = read32();
    need(length, __LINE__);
    // Events run until the cursor reaches this point or passes it; an event
    // that straddles it is read whole and the next chunk starts behind it.
    const uint8_t* const chunkEnd = at_ + length;
    while (at_ < chunkEnd)
      parseEvent(track);

    if (track.noteEventCount > 0) file_.tracks.push_back(std::move(track));
  }

  void parseEvent(MidiTrack& track) {
    ticks_ += readQuantity("Found 4 bytes of delta time without a 0 MSB");
    beat_ = static_cast<float>(static_cast<double>(ticks_) / division_);

    need(1, __LINE__);
    if (*at_ & 0x80) runningStatus_ = *at_++;

    switch (runningStatus_ & 0xF0) {
      case 0x80:
      case 0x90: {
        need(2, __LINE__);
        const uint8_t number = at_[0];
        const uint8_t velocity = (runningStatus_ & 0xF0) == 0x80 ? 0 : at_[1];
        at_ += 2;
        noteEvent(track, number, velocity);
        return;
      }
      case 0xA0:  // polyphonic key pressure
        need(2, __LINE__);
        at_ += 2;
        return;
      case 0xB0: {
        need(2, __LINE__);
        const uint8_t number = at_[0];
        const uint8_t value = at_[1];
        at_ += 2;
        if (number == 7) {
          track.volume = value;
        } else if (number == 10) {
          track.pan = value;
        } else {
          if (number >= 128)
            fail(__LINE__, "Controller %i out of range, corrupt MIDI file?", number);
          track.controllers[number].times.push_back(beat_);
          track.controllers[number].values.push_back(value);
        }
        return;
      }
      case 0xC0:  // program change
        failShort(__LINE__);
      case 0xD0:  // channel pressure
        need(1, __LINE__);
        at_ += 1;
        return;
      case 0xE0:  // pitch bend
        failShort(__LINE__);
    }

    if (runningStatus_ == 0xF0 || runningStatus_ == 0xF7)
      fail(__LINE__, "Got SysEx event, not supported yet, panicking!");
    if (runningStatus_ == 0xFF) return parseMeta(track);

    // A data byte with no status yet, or a system status we do not read.
    // At the very end the byte reads as 0, the terminator the file's bytes
    // were once read into.
    const unsigned byte = at_ < end_ ? *at_ : 0;
    fail(__LINE__, "Unknown event %x from %x, corrupt MIDI file? Panicking!", byte >> 4,
                byte);
  }

  void noteEvent(MidiTrack& track, uint8_t number, uint8_t velocity) {
    ++track.noteEventCount;
    int16_t& index = noteIndex_[number];
    if (index < 0) {
      index = static_cast<int16_t>(track.notes.size());
      track.notes.emplace_back();
      track.notes.back().number = number;
      track.notes.back().name = MidiFile::noteName(number);
    }
    MidiNote& note = track.notes[index];
    // Events alternate on and off: a repeat of the current state leaves no
    // trace. -0.0 (an off at beat 0) counts as on, as the comparison says.
    if (velocity > 0) {
      if (!note.events.empty() && note.events.back() >= 0) return;
      note.events.push_back(beat_);
    } else {
      if (!note.events.empty() && note.events.back() < 0) return;
      note.events.push_back(-beat_);
    }
    note.velocities.push_back(velocity);
  }

  // A text meta event: at most one of each, never empty. The length is a
  // variable-length quantity, so texts of 128 bytes and more read correctly.
  void readText(std::string& into, const char* failure, int line) {
    const uint32_t length = readQuantity("Found 4 bytes of text length without a 0 MSB");
    if (!into.empty() || length == 0) fail(line, "%s", failure);
    need(length, __LINE__);
    into.assign(reinterpret_cast<const char*>(at_), length);
    at_ += length;
  }

  // The fixed length byte of a meta event, then its data.
  void metaData(uint8_t length, int line) {
    need(1, __LINE__);
    if (*at_ != length) fail(line, "Expected 0x%02x", length);
    ++at_;
    need(length, __LINE__);
  }

  void parseMeta(MidiTrack& track) {
    need(1, __LINE__);
    const uint8_t type = *at_++;
    switch (type) {
      case 0x01:
        return readText(file_.text, "Retrieving text info failed!", __LINE__);
      case 0x02:
        return readText(file_.notice, "Retrieving copyright info failed!", __LINE__);
      case 0x03:
        return readText(track.name, "Retrieving track name failed!", __LINE__);
      case 0x2F:  // end of track: the chunk length, not this, ends the track
        return metaData(0x00, __LINE__);
      case 0x51: {
        metaData(0x03, __LINE__);
        const uint32_t microseconds = (uint32_t(at_[0]) << 16) | (uint32_t(at_[1]) << 8) | at_[2];
        at_ += 3;
        if (microseconds == 0)
          fail(__LINE__, "Tempo of 0 microseconds per quarter note, corrupt MIDI file?");
        const double bpm = 60000000.0 / microseconds;
        file_.tempo = static_cast<float>(std::floor(bpm * 100.0 + 0.5) / 100.0);
        return;
      }
      case 0x58:
        metaData(0x04, __LINE__);
        file_.timeSigNumerator = at_[0];
        // 2^dd kept in eight bits: from 2^8 on nothing is left.
        file_.timeSigDenominator = static_cast<uint8_t>(at_[1] < 8 ? 1u << at_[1] : 0);
        file_.clocksPerClick = at_[2];
        file_.thirtySecondsPerQuarter = at_[3];
        at_ += 4;
        return;
      case 0x59:
        metaData(0x02, __LINE__);
        file_.keySharps = static_cast<int8_t>(at_[0]);
        file_.keyMinor = at_[1] == 1;
        at_ += 2;
        return;
      case 0x00:  // sequence number
      case 0x04:  // instrument name
      case 0x05:  // lyric
      case 0x06:  // marker
      case 0x07:  // cue point
      case 0x20:  // channel prefix
      case 0x54:  // time-code offset
      case 0x7F:  // sequencer-specific
        failShort(__LINE__);
      default:
        fail(__LINE__, "Unknown meta event, panicking!");
    }
  }

  const uint8_t* at_;
  const uint8_t* const end_;
  MidiFile& file_;
  unsigned division_ = 0;
  uint8_t runningStatus_ = 0;
  uint32_t ticks_ = 0;  // wraps like the sequencer's own counter
  float beat_ = 0.0f;
  int16_t noteIndex_[256];  // position in the track's notes, -1: not seen yet
};

}  // namespace

MidiFile::MidiFile(const uint8_t* bytes, size_t length) { MidiParser(bytes, length, *this).parse(); }

MidiFile::MidiFile(const char* path) {
  FILE* stream = dataFopen(path, "rb");
  if (!stream) FATAL("Failed to open file %s", path);
  std::vector<uint8_t> bytes = readAndClose(stream);

  MidiParser(bytes.data(), bytes.size(), *this).parse();
}

MidiTrack* MidiFile::track(const std::string& name) {
  for (MidiTrack& candidate : tracks)
    if (candidate.name == name) return &candidate;
  return nullptr;
}

std::string MidiFile::noteName(uint8_t number) {
  static const char* const kPitches[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
  char name[8];
  std::snprintf(name, sizeof name, "%s%i", kPitches[number % 12], number / 12);
  return name;
}
