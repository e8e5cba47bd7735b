// libFuzzer target: arbitrary bytes as the sync configuration, through
// Music::loadSync. The text up to the first NUL byte is the configuration
// (TinyXML reads no further anyway); the rest is served for every
// controller template it names. The MIDI file it names is a fixed one with
// the show's track names, and the music stream is not opened (that is the
// audio layer's). The fatal report throws here, so every input either loads
// or stops with a message. What loads must hold together: every modulator
// is an envelope or an oscillator, an oscillator has its template's parallel
// range lists (at least one range), an envelope none, and both give finite
// values where their parameters are finite.
// Built with -DSYNC_FUZZ_SEEDS instead, it writes a few configurations into
// the directory named on its command line, and the show's own (configuration
// and template files named after it) joined into one seed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef SYNC_FUZZ_SEEDS

#include <cmath>
#include <cstdarg>

#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"
#include "util/music/music.h"

#include "util/error.h"

namespace {

constexpr const char* kSyncPath = "data/common/music/sync.xml";

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_sync: %s\n", what);
    std::abort();
  }
}

using Bytes = std::vector<uint8_t>;

void put(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

// A MIDI file at 120 beats a minute with one held note in a track of each
// name the show's configuration uses.
Bytes showMidi() {
  const char* names[] = {"Lightning", "KlovneRinger", "Kick", "Snare", "Timpani", "Pad", "Bass"};
  const int count = sizeof names / sizeof names[0];
  Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, count, 0, 96};
  for (int i = 0; i < count; ++i) {
    Bytes events;
    put(events, {0, 0xFF, 0x03, int(std::strlen(names[i]))});
    events.insert(events.end(), names[i], names[i] + std::strlen(names[i]));
    if (i == 0) put(events, {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20});
    put(events, {0, 0xB0, 16, 40 + i * 10, 0, 0x90, 60 + i, 100, 96, 0x80, 60 + i, 0, 0, 0xFF, 0x2F, 0});
    put(out, {'M', 'T', 'r', 'k', 0, 0, 0, int(events.size())});
    out.insert(out.end(), events.begin(), events.end());
  }
  return out;
}

const uint8_t* input = nullptr;
size_t inputLength = 0;

void checkModulator(const Modulator& modulator) {
  const size_t ranges = modulator.rangeMin.size();
  check(modulator.rangeMax.size() == ranges && modulator.rangePeriod.size() == ranges,
        "range lists differ in length");
  bool finite = true;
  if (const auto* envelope = dynamic_cast<const ADSR*>(&modulator)) {
    check(modulator.kind == Modulator::kEnvelope, "an envelope of another kind");
    check(ranges == 0, "an envelope with controller ranges");
    for (float f : {envelope->attack, envelope->decay, envelope->sustain, envelope->release})
      finite = finite && std::isfinite(f);
  } else if (dynamic_cast<const LFO*>(&modulator)) {
    check(modulator.kind == Modulator::kOscillator, "an oscillator of another kind");
    check(ranges > 0, "an oscillator without controller ranges");
    finite = std::isfinite(modulator.period);
  } else {
    check(false, "neither envelope nor oscillator");
  }
  // The show asks with the note's last on and off beats, both past.
  for (float on : {0.0f, 2.0f})
    for (float off : {0.0f, 1.0f, 3.0f})
      for (float now : {0.0f, 0.5f, 1.5f, 2.5f, 3.0f, 8.0f}) {
        if (on > now || off > now) continue;
        const float value = modulator.value(0, now, off, on);
        check(!finite || std::isfinite(value), "a value not finite");
      }
}

}  // namespace


// The file access layer over the input and the fixed MIDI file.
FILE* dataFopen(const char* path, const char*) {
  static const Bytes midi = showMidi();
  static uint8_t nothing;
  const size_t length = path ? std::strlen(path) : 0;
  if (length >= 4 && std::strcmp(path + length - 4, ".mid") == 0)
    return fmemopen(const_cast<uint8_t*>(midi.data()), midi.size(), "rb");
  const uint8_t* end =
      inputLength ? static_cast<const uint8_t*>(std::memchr(input, 0, inputLength)) : nullptr;
  const size_t configuration = end ? size_t(end - input) : inputLength;
  const uint8_t* bytes = input;
  size_t size = configuration;
  if (std::strcmp(path, kSyncPath) != 0) {  // a template: what follows the NUL byte
    bytes = end ? end + 1 : input + inputLength;
    size = inputLength - (bytes - input);
  }
  return fmemopen(size ? const_cast<uint8_t*>(bytes) : &nothing, size, "rb");
}

std::vector<uint8_t> readAndClose(FILE* file) {
  std::vector<uint8_t> bytes;
  uint8_t block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
    bytes.insert(bytes.end(), block, block + got);
  std::fclose(file);
  return bytes;
}

// Music's stream side is the audio layer's and stays out: no stream is
// opened, and the one Music is never destroyed, so the audio layer is not
// linked at all.
Music::Music(const char*, const Music*) {}
void Music::loadStream(const std::string&, const Music*) {}
void Music::loadMidi(const std::string& path) {
  midi = std::make_unique<MidiFile>(path.c_str());
  tempo = midi->tempo;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  input = bytes;
  inputLength = length;
  static Music& music = *new Music("");
  music.midi.reset();  // with the modulators of the last input
  music.tempo = 999.0f;
  try {
    music.loadSync(kSyncPath);
  } catch (const Failure&) {
    return 0;
  }
  check(music.midi != nullptr, "loaded without MIDI data");
  for (const MidiTrack& track : music.midi->tracks)
    for (const auto& modulator : track.modulators) {
      check(modulator != nullptr, "an empty modulator");
      checkModulator(*modulator);
    }
  return 0;
}

#else

#include "seed_files.h"

namespace {

std::string readFile(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "cannot read %s\n", path);
    std::exit(1);
  }
  std::string text;
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
  std::fclose(file);
  return text;
}

void write(const std::string& path, const std::string& configuration, const std::string& layout) {
  std::string bytes = configuration;
  bytes += '\0';
  bytes += layout;
  writeSeed(path, bytes.data(), bytes.size());
}

const char* kHead = "<modulators stream_filename=\"s.ogg\" mididata_filename=\"m.mid\">";

const char* kTemplate =
    "<unit><template><range><min>0</min><max>0x3F</max><value><numerator>1</numerator>"
    "<denominator>8 triplet</denominator></value></range><range><min>64</min><max>0177</max>"
    "<value><numerator>3</numerator><denominator>0</denominator></value></range></template></unit>";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: %s SEED_DIRECTORY [CONFIGURATION TEMPLATE]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string head = kHead;
  write(dir + "/envelope.xml",
        head + "<kick association=\"Kick\"><envelope><attack unit=\"s\" slope=\"linear\">0.01"
               "</attack><decay unit=\"s\" slope=\"exp\">0</decay><sustain unit=\"percent\">50"
               "</sustain><release unit=\"s\" slope=\"exp_inv\">1e-3</release></envelope>"
               "<intensity unit=\"float\">0.5</intensity></kick></modulators>",
        "");
  write(dir + "/oscillators.xml",
        head + "<a association=\"Pad\"><lfo><wave>sine</wave><tempo><numerator>1</numerator>"
               "<denominator>4t</denominator><controller><cc>16</cc><template file=\"t.xml\"/>"
               "</controller></tempo></lfo></a><b association=\"Bass\"><lfo><wave>saw</wave>"
               "<tempo><numerator>0x3</numerator><denominator>0</denominator><controller><cc>7"
               "</cc><template file=\"t.xml\"/></controller></tempo></lfo><intensity "
               "unit=\"float\">2</intensity></b></modulators>",
        kTemplate);
  write(dir + "/bare_entries.xml",
        head + "<x association=\"Lightning\"/><y association=\"Timpani\"><other/></y>"
               "</modulators>",
        "");
  if (argc == 4) write(dir + "/show.xml", readFile(argv[2]), readFile(argv[3]));
  return 0;
}

#endif
