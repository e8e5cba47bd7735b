#pragma once
// MidiFile: the soundtrack's standard MIDI file, read once into beats.
//
// Per track, every note with the beats at which it went on and off, and per
// controller the beats and values of its changes; per file, the tempo and
// the time and key signatures. Times are converted at load into beats
// (quarter notes), the show clock's unit. The reader is narrow: it accepts
// the events a sequencer writes for the soundtrack and stops the program
// with a message on anything else, and it never reads past the file's end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/music/modulators/modulator.h"

struct MidiNote {
  uint8_t number = 0;
  std::string name;              // "C5" for 60
  std::vector<float> events;     // +beat for a note-on, -beat for a note-off, in file order
  std::vector<uint8_t> velocities;  // of each event; 0 for a note-off
};

struct ControllerLane {
  std::vector<float> times;  // beats
  std::vector<uint8_t> values;
};

struct MidiTrack {
  std::string name;  // empty: the track has no name event
  uint32_t noteEventCount = 0;  // note-ons and note-offs read, ignored repeats included
  std::vector<MidiNote> notes;  // one per note number, in order of first appearance
  ControllerLane controllers[128];  // all but 7 (volume) and 10 (pan)
  float volume = 0.78125f;  // raw 0..127 once controller 7 was set
  float pan = 0.5f;         // raw 0..127 once controller 10 was set
  std::vector<std::unique_ptr<Modulator>> modulators;  // attached by the sync configuration
};

class MidiFile {
 public:
  // Reads the file through the file access layer. Every problem is a
  // failure (util/error.h) from the line of the reader that found it.
  explicit MidiFile(const char* path);
  // Parses a whole file held in memory, the same way.
  MidiFile(const uint8_t* bytes, size_t length);

  std::vector<MidiTrack> tracks;  // the tracks with at least one note event, in file order
  std::string notice;             // empty: none
  std::string text;               // empty: none
  float tempo = 120.0f;           // beats per minute
  uint8_t timeSigNumerator = 4;
  uint8_t timeSigDenominator = 4;  // as a note value: 4 = quarter
  uint8_t clocksPerClick = 24;
  uint8_t thirtySecondsPerQuarter = 8;
  int8_t keySharps = 0;
  bool keyMinor = false;

  // The first track of that name in file order, or null.
  MidiTrack* track(const std::string& name);

  // Note names: octave = number / 12, "C%i" .. "B%i"; 60 is "C5", 127 "G10".
  static std::string noteName(uint8_t number);
};
