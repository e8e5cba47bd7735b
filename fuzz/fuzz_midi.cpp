// libFuzzer target: arbitrary bytes as a whole MIDI file, through the same
// in-memory reader the program uses. When the file is accepted, the model
// must hold together (notes alternate on and off, one entry per note
// number, lists in step) and the modulators must give finite values for
// every note's last on and off beats.
// Built with -DMIDI_FUZZ_SEEDS instead, it is a small program that writes a
// few valid files into the directory named on its command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "util/error.h"
#include "util/music/midi.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"

#ifndef MIDI_FUZZ_SEEDS

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_midi: %s\n", what);
    std::abort();
  }
}

void checkTrack(MidiFile& file, const MidiTrack& track) {
  check(file.track(track.name) != nullptr, "a track is not found by its own name");
  check(file.track(track.name)->name == track.name, "track() gave another name");
  size_t entries = 0;
  bool seen[256] = {};
  for (const MidiNote& note : track.notes) {
    check(!seen[note.number], "two entries for one note number");
    seen[note.number] = true;
    check(note.name == MidiFile::noteName(note.number), "wrong note name");
    check(note.events.size() == note.velocities.size(), "events and velocities differ in length");
    check(!note.events.empty(), "a note without events");
    entries += note.events.size();
    float on = 0.0f, off = 0.0f;
    for (size_t i = 0; i < note.events.size(); ++i) {
      // The sign bit says on or off; an entry follows only one that reads
      // as the other state, where an off at beat 0 (-0.0) reads as on.
      const bool isOn = !std::signbit(note.events[i]);
      check(i == 0 || isOn == (note.events[i - 1] < 0), "two ons or two offs in a row");
      check(isOn == (note.velocities[i] > 0), "velocity does not match on or off");
      (isOn ? on : off) = std::fabs(note.events[i]);
    }
    static const ADSR envelopes[] = {
        ADSR(1.0f, ADSR::kLinear, 0.5f, ADSR::kExp, 0.5f, 2.0f, ADSR::kExpInv),
        ADSR(0.0f, ADSR::kExp, 0.0f, ADSR::kExpInv, 0.25f, 0.0f, ADSR::kLinear)};
    static const LFO oscillators[] = {LFO(LFO::kSine, -1, 1, 4, false),
                                      LFO(LFO::kSaw, -1, 3, 8, true)};
    for (float now : {on, off, on + 0.5f, off + 1.0f}) {
      for (const ADSR& envelope : envelopes)
        check(std::isfinite(envelope.value(0, now, off, on)), "envelope not finite");
      for (const LFO& oscillator : oscillators)
        check(std::isfinite(oscillator.value(0, now, off, on)), "oscillator not finite");
    }
  }
  check(entries <= track.noteEventCount, "more entries than note events");
  check(track.noteEventCount > 0, "a track without note events was kept");
  for (const ControllerLane& lane : track.controllers)
    check(lane.times.size() == lane.values.size(), "controller lists differ in length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  std::unique_ptr<MidiFile> read;
  try {
    read = std::make_unique<MidiFile>(bytes, length);
  } catch (const Failure& failure) {
    // "Error in file midi.cpp:LINE", with the message or (short form) alone.
    check(failure.text.find("Error in file ") != std::string::npos, "a failure without its location");
    check(failure.caption == "Error" || failure.text.size() > failure.caption.size() + 2,
          "a failure without a message");
    return 0;
  }
  MidiFile& file = *read;
  check(std::isfinite(file.tempo) && file.tempo > 0, "tempo not finite");
  for (const MidiTrack& track : file.tracks) checkTrack(file, track);
  return 0;
}

// No handler is set, so failures are thrown: the reader's are caught above;
// one from the modulators is not, and ends the run as a finding. The reader
// never reaches these; they only satisfy the linker (the path constructor
// refers to them).
FILE* dataFopen(const char*, const char*) { std::abort(); }
std::vector<uint8_t> readAndClose(FILE*) { std::abort(); }

#else

#include "seed_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

void putText(Bytes& out, int type, const std::string& text) {
  put(out, {0, 0xFF, type, int(text.size())});
  out.insert(out.end(), text.begin(), text.end());
}

Bytes file(const std::vector<Bytes>& tracks, int division) {
  Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, uint8_t(tracks.size()),
            uint8_t(division >> 8), uint8_t(division)};
  for (const Bytes& events : tracks) {
    put(out, {'M', 'T', 'r', 'k', int(events.size() >> 24), int((events.size() >> 16) & 0xFF),
              int((events.size() >> 8) & 0xFF), int(events.size() & 0xFF)});
    out.insert(out.end(), events.begin(), events.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);

  Bytes conductor;
  putText(conductor, 0x01, "Tin Lantern");
  putText(conductor, 0x02, "(c) us");
  put(conductor, {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0, 0xFF, 0x58, 4, 6, 3, 24, 8});
  put(conductor, {0, 0xFF, 0x59, 2, 0xFE, 1, 0, 0xFF, 0x2F, 0});

  Bytes lead;
  putText(lead, 0x03, "Lead");
  for (int i = 0; i < 16; ++i)
    put(lead, {i ? 48 : 0, 0x90 | (i & 3), 60 + i % 5, 100, 24, 60 + i % 5, 0});  // running status
  put(lead, {0, 0xB0, 7, 100, 0, 10, 64, 0, 1, 30, 0x81, 0x40, 0x80, 62, 0});
  put(lead, {0, 0xA0, 60, 5, 0, 0xD0, 9, 0, 0xFF, 0x2F, 0});

  Bytes drums;
  putText(drums, 0x03, "Drums");
  for (int i = 0; i < 8; ++i) put(drums, {96, 0x99, 36 + (i & 1) * 2, 127, 0, 0x89, 36, 0});

  writeSeed(dir + "/conductor_and_lead.mid", file({conductor, lead}, 96));
  writeSeed(dir + "/three_tracks.mid", file({conductor, lead, drums}, 480));
  writeSeed(dir + "/one_note.mid", file({Bytes{0, 0x90, 60, 1}}, 1));
  return 0;
}

#endif
