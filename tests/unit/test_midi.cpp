// The MIDI reader on small files written here byte by byte: what it records
// from notes, controllers and meta events, and how every bad or cut-off
// file stops it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "util/error.h"
#include "util/music/midi.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes vlq(uint32_t value) {
  Bytes out{static_cast<uint8_t>(value & 0x7F)};
  while (value >>= 7) out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  return out;
}

// An event: its delta time, then its bytes as written.
Bytes ev(uint32_t delta, std::initializer_list<int> bytes) {
  Bytes out = vlq(delta);
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
  return out;
}

Bytes meta(uint32_t delta, int type, const std::string& text) {
  return ev(delta, {0xFF, type}) + vlq(static_cast<uint32_t>(text.size())) +
         Bytes(text.begin(), text.end());
}

Bytes be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

Bytes chunk(const Bytes& events) { return Bytes{'M', 'T', 'r', 'k'} + be32(events.size()) + events; }

Bytes midi(const std::vector<Bytes>& tracks, unsigned division = 96) {
  Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, uint8_t(tracks.size()), uint8_t(division >> 8),
            uint8_t(division)};
  for (const Bytes& events : tracks) out = out + chunk(events);
  return out;
}

// One track of the given events.
Bytes midi1(const Bytes& events) { return midi({events}); }

MidiFile parseOk(const Bytes& bytes) {
  FailuresThrown thrown;
  try {
    return MidiFile(bytes.data(), bytes.size());
  } catch (const Failure& failure) {
    ADD_FAILURE() << failure.text;
    throw;
  }
}

// What stopped the reader, taken apart from the failure it threw.
struct MidiStop {
  bool stopped = false;
  std::string location;  // "Error in file FILE:LINE"
  std::string message;   // empty in the short form
  bool shortForm = false;
  explicit operator bool() const { return stopped; }
};

MidiStop errorOf(const Bytes& bytes) {
  FailuresThrown thrown;
  try {
    MidiFile(bytes.data(), bytes.size());
    return {};
  } catch (const Failure& failure) {
    if (failure.caption == "Error") return {true, failure.text, "", true};
    const size_t detail = failure.text.find("\n\n");
    return {true, failure.caption,
            detail == std::string::npos ? failure.text : failure.text.substr(detail + 2), false};
  }
}

const Bytes kNote = ev(0, {0x90, 60, 100});

TEST(MidiTracks, ConductorTrackTakesEffectButIsNotListed) {
  MidiFile file = parseOk(midi({
      meta(0, 0x01, "tempo map") + ev(0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}) +
          ev(0, {0xFF, 0x2F, 0}),
      meta(0, 0x03, "Lead") + kNote,
      meta(0, 0x03, "Bass") + ev(0, {0xB0, 1, 2}),  // no notes: dropped
      meta(0, 0x03, "Lead") + kNote,
  }));
  EXPECT_EQ(file.text, "tempo map");
  EXPECT_FLOAT_EQ(file.tempo, 120.0f);
  ASSERT_EQ(file.tracks.size(), 2u);
  EXPECT_EQ(file.track("Lead"), &file.tracks[0]);
  EXPECT_EQ(file.track("lead"), nullptr);
  EXPECT_EQ(file.track("Bass"), nullptr);
}

TEST(MidiNotes, EventsAlternateOnAndOff) {
  MidiFile file = parseOk(midi1(ev(0, {0x90, 60, 100}) +  // on at 0
                                ev(48, {0x90, 60, 90}) +   // repeated on: counted, not kept
                                ev(48, {0x81, 62, 64}) +   // off of a note never on: kept
                                ev(0, {0x80, 60, 64}) +    // off at 1, velocity byte ignored
                                ev(48, {0x9F, 60, 0}) +    // velocity 0 is off; a repeat here
                                ev(48, {0x93, 60, 70}) +   // another channel, same note
                                ev(0, {62, 5})));          // running status 0x93: note 62 on
  ASSERT_EQ(file.tracks.size(), 1u);
  const MidiTrack& track = file.tracks[0];
  EXPECT_EQ(track.noteEventCount, 7u);
  ASSERT_EQ(track.notes.size(), 2u);
  EXPECT_EQ(track.notes[0].number, 60);
  EXPECT_EQ(track.notes[0].name, "C5");
  EXPECT_EQ(track.notes[0].events, (std::vector<float>{0.0f, -1.0f, 2.0f}));
  EXPECT_EQ(track.notes[0].velocities, (std::vector<uint8_t>{100, 0, 70}));
  EXPECT_EQ(track.notes[1].events, (std::vector<float>{-1.0f, 2.0f}));
  EXPECT_EQ(track.notes[1].velocities, (std::vector<uint8_t>{0, 5}));
}

TEST(MidiNotes, OffAtBeatZeroCountsAsOn) {
  // -0.0 >= 0, so the note-on behind it is taken for a repeat.
  MidiFile file = parseOk(midi1(ev(0, {0x80, 60, 0}) + ev(0, {0x90, 60, 1})));
  EXPECT_EQ(file.tracks[0].notes[0].events.size(), 1u);
  EXPECT_TRUE(std::signbit(file.tracks[0].notes[0].events[0]));
}

TEST(MidiNotes, Names) {
  EXPECT_EQ(MidiFile::noteName(0), "C0");
  EXPECT_EQ(MidiFile::noteName(13), "C#1");
  EXPECT_EQ(MidiFile::noteName(60), "C5");
  EXPECT_EQ(MidiFile::noteName(71), "B5");
  EXPECT_EQ(MidiFile::noteName(127), "G10");
}

TEST(MidiTiming, TempoIsRoundedToTwoDecimals) {
  const std::pair<uint32_t, float> cases[] = {{500000, 120.0f}, {468750, 128.0f},
                                              {461538, 130.0f}, {1000000, 60.0f},
                                              {0xFFFFFF, 3.58f}};
  for (const auto& [microseconds, bpm] : cases) {
    MidiFile file = parseOk(midi1(ev(0, {0xFF, 0x51, 3, int(microseconds >> 16),
                                         int((microseconds >> 8) & 0xFF), int(microseconds & 0xFF)})));
    EXPECT_EQ(file.tempo, bpm) << microseconds;
  }
}

TEST(MidiTiming, TicksBecomeBeatsThroughTheDivision) {
  EXPECT_EQ(parseOk(midi({ev(48, {0x90, 1, 1})}, 96)).tracks[0].notes[0].events[0], 0.5f);
  // The longest delta time: four bytes, the last with its top bit clear.
  MidiFile longest = parseOk(midi1(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0x90, 2, 1}));
  EXPECT_EQ(longest.tracks[0].notes[0].events[0], float(0x0FFFFFFF / 96.0));
}

TEST(MidiTracks, ControllersVolumeAndPan) {
  MidiFile file = parseOk(midi1(kNote + ev(0, {0xB0, 1, 20}) + ev(96, {0xB5, 7, 100}) +
                                ev(0, {1, 30}) + ev(0, {10, 127}) + ev(48, {0xA0, 1, 2}) +
                                ev(0, {0xD0, 9}) + ev(0, {0xB0, 127, 0})));
  const MidiTrack& track = file.tracks[0];
  EXPECT_EQ(track.volume, 100.0f);
  EXPECT_EQ(track.pan, 127.0f);
  EXPECT_EQ(track.controllers[1].times, (std::vector<float>{0.0f, 1.0f}));
  EXPECT_EQ(track.controllers[1].values, (std::vector<uint8_t>{20, 30}));
  EXPECT_EQ(track.controllers[127].times, (std::vector<float>{1.5f}));
  EXPECT_TRUE(track.controllers[7].times.empty());
  EXPECT_TRUE(track.controllers[10].times.empty());

  MidiFile untouched = parseOk(midi1(kNote));
  EXPECT_EQ(untouched.tracks[0].volume, 0.78125f);
  EXPECT_EQ(untouched.tracks[0].pan, 0.5f);
}

TEST(MidiFileInfo, SignaturesAndTexts) {
  const std::string longText(300, 'x');  // a length of two bytes
  MidiFile file = parseOk(midi1(ev(0, {0xFF, 0x58, 4, 6, 3, 36, 8}) +
                                ev(0, {0xFF, 0x59, 2, 0xFD, 1}) + meta(0, 0x02, "(c) us") +
                                meta(0, 0x01, longText) + kNote));
  EXPECT_EQ(file.timeSigNumerator, 6);
  EXPECT_EQ(file.timeSigDenominator, 8);
  EXPECT_EQ(file.clocksPerClick, 36);
  EXPECT_EQ(file.thirtySecondsPerQuarter, 8);
  EXPECT_EQ(file.keySharps, -3);
  EXPECT_TRUE(file.keyMinor);
  EXPECT_EQ(file.notice, "(c) us");
  EXPECT_EQ(file.text, longText);

  MidiFile defaults = parseOk(midi1(kNote));
  EXPECT_EQ(defaults.timeSigDenominator, 4);
  EXPECT_EQ(defaults.tempo, 120.0f);
  EXPECT_FALSE(defaults.keyMinor);
  EXPECT_EQ(parseOk(midi1(ev(0, {0xFF, 0x58, 4, 4, 9, 24, 8}))).timeSigDenominator, 0);
  EXPECT_FALSE(parseOk(midi1(ev(0, {0xFF, 0x59, 2, 0, 2}))).keyMinor);
}

TEST(MidiStructure, NextChunkStartsWhereTheLastEventEnds) {
  // The first chunk claims 2 bytes, but its event is 4 long: read whole.
  const Bytes shortChunk = Bytes{'M', 'T', 'r', 'k'} + be32(2) + kNote;
  Bytes file = midi({}) + shortChunk + chunk(kNote);
  file[11] = 2;
  EXPECT_EQ(parseOk(file).tracks.size(), 2u);
  // Only the buffer's end is a hard limit.
  Bytes last = midi({}) + shortChunk;
  last[11] = 1;
  last.pop_back();
  EXPECT_EQ(errorOf(last).message, "Unexpected end of MIDI file");
}

TEST(MidiStructure, EveryTruncationIsAnUnexpectedEnd) {
  const Bytes full = midi({meta(0, 0x03, "Lead") + ev(0x1234, {0x90, 60, 100}) + ev(5, {61, 0}) +
                               ev(0, {0xB0, 1, 2}) + ev(0, {0xA0, 1, 2}) + ev(0, {0xD0, 1}) +
                               ev(0, {0xFF, 0x51, 3, 7, 0xA1, 0x20}) +
                               ev(0, {0xFF, 0x58, 4, 4, 2, 24, 8}) + ev(0, {0xFF, 0x59, 2, 1, 0}) +
                               meta(0, 0x01, std::string(130, 't')) + ev(0, {0xFF, 0x2F, 0}),
                           kNote});
  parseOk(full);
  for (size_t length = 0; length < full.size(); ++length) {
    const Bytes cut(full.begin(), full.begin() + length);
    EXPECT_EQ(errorOf(cut).message, "Unexpected end of MIDI file") << "cut at " << length;
  }
}

// Each bad file, the report it gives, and whether that is the short form.
struct BadFile {
  const char* what;
  Bytes bytes;
  std::string message;
  bool shortForm = false;
};

std::vector<BadFile> badFiles() {
  Bytes badLength = midi1(kNote);
  badLength[4] = 1;
  Bytes notMTrk = midi1(kNote);
  notMTrk[17] = 'X';
  Bytes lyingChunk = midi1(kNote);
  lyingChunk[21] = 9;
  Bytes badDivision = midi1(kNote);
  badDivision[12] = badDivision[13] = 0;
  const std::string header = "Unknown header info, MIDI file format not recognized\n";
  return {
      {"length field", badLength, header},
      {"signature", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6}, header},
      {"no MTrk", notMTrk, "Could not find track chunk header, unrecognized file format!\n"},
      {"division 0", badDivision, "MIDI time division 0 is not valid"},
      {"long delta", midi1(Bytes{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 1, 1}),
       "Found 4 bytes of delta time without a 0 MSB"},
      {"sysex", midi1(ev(0, {0xF0, 1, 0xF7})), "Got SysEx event, not supported yet, panicking!"},
      {"sysex escape", midi1(ev(0, {0xF7, 0})), "Got SysEx event, not supported yet, panicking!"},
      {"unknown meta", midi1(ev(0, {0xFF, 0x08, 0})), "Unknown meta event, panicking!"},
      {"high meta", midi1(ev(0, {0xFF, 0x80, 0})), "Unknown meta event, panicking!"},
      {"end length", midi1(ev(0, {0xFF, 0x2F, 1, 0})), "Expected 0x00"},
      {"tempo length", midi1(ev(0, {0xFF, 0x51, 4, 0, 0, 1, 0})), "Expected 0x03"},
      {"time sig length", midi1(ev(0, {0xFF, 0x58, 3, 4, 2, 24})), "Expected 0x04"},
      {"key sig length", midi1(ev(0, {0xFF, 0x59, 1, 0})), "Expected 0x02"},
      {"tempo 0", midi1(ev(0, {0xFF, 0x51, 3, 0, 0, 0})),
       "Tempo of 0 microseconds per quarter note, corrupt MIDI file?"},
      {"second text", midi1(meta(0, 1, "a") + meta(0, 1, "b")), "Retrieving text info failed!"},
      {"empty text", midi1(meta(0, 1, "")), "Retrieving text info failed!"},
      {"second notice", midi({meta(0, 2, "a"), meta(0, 2, "b")}),
       "Retrieving copyright info failed!"},
      {"empty notice", midi1(meta(0, 2, "")), "Retrieving copyright info failed!"},
      {"second name", midi1(meta(0, 3, "a") + meta(0, 3, "b")), "Retrieving track name failed!"},
      {"empty name", midi1(meta(0, 3, "")), "Retrieving track name failed!"},
      {"text length", midi1(ev(0, {0xFF, 1, 0x81, 0x80, 0x80, 0x80, 0})),
       "Found 4 bytes of text length without a 0 MSB"},
      {"no status", midi1(ev(0, {0x40, 1})), "Unknown event 4 from 40, corrupt MIDI file? Panicking!"},
      {"system status", midi1(ev(0, {0xF3, 0x25})),
       "Unknown event 2 from 25, corrupt MIDI file? Panicking!"},
      {"controller", midi1(ev(0, {0xB0, 0x80, 1})), "Controller 128 out of range, corrupt MIDI file?"},
      {"lying chunk", lyingChunk, "Unexpected end of MIDI file"},
      {"program change", midi1(ev(0, {0xC0, 5})), "", true},
      {"pitch bend", midi1(ev(0, {0xE3, 0, 64})), "", true},
      {"sequence number", midi1(ev(0, {0xFF, 0x00, 2, 0, 1})), "", true},
      {"instrument", midi1(ev(0, {0xFF, 0x04, 0})), "", true},
      {"lyric", midi1(ev(0, {0xFF, 0x05, 0})), "", true},
      {"marker", midi1(ev(0, {0xFF, 0x06, 0})), "", true},
      {"cue point", midi1(ev(0, {0xFF, 0x07, 0})), "", true},
      {"channel prefix", midi1(ev(0, {0xFF, 0x20, 1, 0})), "", true},
      {"time-code offset", midi1(ev(0, {0xFF, 0x54, 0})), "", true},
      {"sequencer-specific", midi1(ev(0, {0xFF, 0x7F, 0})), "", true},
  };
}

TEST(MidiErrors, TheReaderStopsAtTheFirstProblemAndSaysWhere) {
  for (const BadFile& bad : badFiles()) {
    const MidiStop error = errorOf(bad.bytes);
    ASSERT_TRUE(error) << bad.what;
    EXPECT_TRUE(testing::internal::RE::FullMatch(
        error.location, "Error in file src/util/music/midi\\.cpp:[1-9][0-9]*"))
        << bad.what << ": " << error.location;
    EXPECT_EQ(error.message, bad.message) << bad.what;
    EXPECT_EQ(error.shortForm, bad.shortForm) << bad.what;
  }
  // Only the first byte of the header's length field is looked at.
  Bytes oddLength = midi1(kNote);
  oddLength[5] = 0xAB, oddLength[6] = 0xCD, oddLength[7] = 0xEF;
  EXPECT_EQ(parseOk(oddLength).tracks.size(), 1u);
}

std::string regexQuoted(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

class MidiFiles : public ::testing::Test {
 protected:
  void SetUp() override { setMessageBoxesEnabled(false); }
  void TearDown() override { unlink(path_.c_str()); }
  const char* write(const Bytes& bytes) {
    FILE* out = std::fopen(path_.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path_.c_str();
  }
  std::string path_ = "/tmp/tinlantern-midi-" + std::to_string(getpid()) + ".mid";
};

TEST_F(MidiFiles, ReadsThroughTheFileAccessLayer) {
  MidiFile file(write(midi1(meta(0, 3, "Lead") + kNote)));
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(file.tracks[0].name, "Lead");
}

using MidiFilesDeathTest = MidiFiles;

TEST_F(MidiFilesDeathTest, EveryProblemIsFatalWithItsLocation) {
  const std::string where = "^Error in file src/util/music/midi\\.cpp:[0-9]+";
  for (const BadFile& bad : badFiles()) {
    const char* path = write(bad.bytes);
    EXPECT_EXIT(MidiFile{path}, ::testing::ExitedWithCode(1),
                bad.shortForm ? where + "\n$" : where + "\n\n" + regexQuoted(bad.message) + "\n$")
        << bad.what;
  }
  EXPECT_EXIT(MidiFile{"/nonexistent/soundtrack.mid"}, ::testing::ExitedWithCode(1),
              where + "\n\nFailed to open file /nonexistent/soundtrack\\.mid\n$");
}

}  // namespace
