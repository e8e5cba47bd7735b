// Reading the soundtrack's MIDI file is part of the load before the show
// starts. This times the reader on a made-up file far larger than a real
// soundtrack: a conductor track and 16 instrument tracks of notes (mostly
// under running status, offs as note-ons of velocity 0), controller sweeps
// and a little pressure, about 320 000 events in all. Throughput is of file
// bytes and of events. The file is the same every run. The modulators'
// value, which a consumer would call per frame and note, is timed beside it.
//
//   build/bench/bench_midi --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/music/midi.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Random {
  uint64_t state;
  uint64_t next() {  // splitmix64
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
};

void putQuantity(Bytes& out, uint32_t value) {
  uint8_t bytes[4];
  int count = 0;
  do bytes[count++] = value & 0x7F;
  while ((value >>= 7) && count < 4);
  while (count > 1) out.push_back(0x80 | bytes[--count]);
  out.push_back(bytes[0]);
}

void putBe32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void putText(Bytes& out, uint8_t type, const std::string& text) {
  out.insert(out.end(), {0, 0xFF, type, uint8_t(text.size())});
  out.insert(out.end(), text.begin(), text.end());
}

struct Generated {
  Bytes bytes;
  size_t events = 0;
};

Generated generate() {
  constexpr int kTracks = 16;
  constexpr int kEventsPerTrack = 20000;
  Random random{20100};
  Generated file;
  Bytes& out = file.bytes;
  out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks + 1, 0x01, 0xE0};  // 480 per beat

  Bytes events;
  auto endChunk = [&] {
    events.insert(events.end(), {0, 0xFF, 0x2F, 0});
    file.events += 1;
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBe32(out, static_cast<uint32_t>(events.size()));
    out.insert(out.end(), events.begin(), events.end());
    events.clear();
  };

  putText(events, 0x01, "Tin Lantern soundtrack");
  putText(events, 0x02, "(c) the makers");
  events.insert(events.end(), {0, 0xFF, 0x51, 3, 0x07, 0x27, 0x0E});
  events.insert(events.end(), {0, 0xFF, 0x58, 4, 4, 2, 24, 8, 0, 0xFF, 0x59, 2, 0xFE, 0});
  file.events += 5;
  endChunk();

  for (int t = 0; t < kTracks; ++t) {
    putText(events, 0x03, "Track " + std::to_string(t));
    file.events += 1;
    const uint8_t channel = uint8_t(t & 15);
    uint8_t status = 0;
    auto event = [&](uint32_t delta, uint8_t newStatus, std::initializer_list<uint8_t> data) {
      putQuantity(events, delta);
      if (newStatus != status) events.push_back(status = newStatus);
      events.insert(events.end(), data);
      file.events += 1;
    };
    const uint8_t low = uint8_t(24 + random.below(48));
    uint8_t held[4] = {};
    int heldCount = 0;
    for (int i = 0; i < kEventsPerTrack;) {
      const uint32_t kind = random.below(100);
      if (kind < 6) {
        event(random.below(60), 0xB0 | channel, {uint8_t(1 + random.below(3)), uint8_t(random.below(128))});
        ++i;
      } else if (kind < 7) {
        event(0, 0xD0 | channel, {uint8_t(random.below(128))});
        ++i;
      } else if (heldCount == 4 || (heldCount > 0 && kind < 55)) {
        const uint8_t note = held[--heldCount];
        event(random.below(4) ? 0 : random.below(240), 0x90 | channel, {note, 0});
        ++i;
      } else {
        const uint8_t note = uint8_t(low + random.below(36));
        event(random.below(3) ? 120 : random.below(960), 0x90 | channel,
              {note, uint8_t(40 + random.below(88))});
        held[heldCount++] = note;
        ++i;
      }
    }
    while (heldCount > 0) event(120, 0x80 | channel, {held[--heldCount], 64});
    endChunk();
  }
  return file;
}

const Generated& soundtrack() {
  static const Generated file = generate();
  return file;
}

void BM_ReadMidi(benchmark::State& state) {
  const Generated& file = soundtrack();
  for (auto _ : state) {
    MidiFile midi(file.bytes.data(), file.bytes.size());
    benchmark::DoNotOptimize(midi.tracks.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes.size()));
  state.counters["events"] = benchmark::Counter(double(file.events), benchmark::Counter::kDefaults);
  state.counters["events/s"] = benchmark::Counter(double(state.iterations()) * double(file.events),
                                                  benchmark::Counter::kIsRate);
  state.counters["MB"] = double(file.bytes.size()) / 1e6;
}
BENCHMARK(BM_ReadMidi)->Unit(benchmark::kMillisecond);

// One value per call, walking through held, decaying and released notes.
void BM_ModulatorValue(benchmark::State& state) {
  const ADSR linear(0.5f, ADSR::kLinear, 0.5f, ADSR::kLinear, 0.6f, 1.0f, ADSR::kLinear);
  const ADSR exp(0.5f, ADSR::kExp, 0.5f, ADSR::kExpInv, 0.6f, 1.0f, ADSR::kExp);
  const LFO sine(LFO::kSine, -1, 1, 8, false);
  const Modulator* const modulators[] = {&linear, &exp, &sine};
  const Modulator& modulator = *modulators[state.range(0)];
  float now = 0.0f, sum = 0.0f;
  for (auto _ : state) {
    now += 0.013f;
    if (now > 4.0f) now = 0.0f;
    sum += modulator.value(0.0f, now, 2.0f, 0.25f) + modulator.value(0.0f, now, 0.0f, 0.25f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 2);
  state.SetLabel(state.range(0) == 0 ? "ADSR linear" : state.range(0) == 1 ? "ADSR exp" : "LFO sine");
}
BENCHMARK(BM_ModulatorValue)->Arg(0)->Arg(1)->Arg(2);

}  // namespace

BENCHMARK_MAIN();
