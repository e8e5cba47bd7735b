// Unpacking the data file is the first thing the show waits for. These time
// the Huffman decoder on a made-up mix of what the file holds (RGBA images,
// text, 16-bit PCM), next to memcpy of the same bytes (the ceiling) and
// zlib's inflate of the same bytes deflated at the default level (the bar to
// clear). Throughput is of decoded bytes. The corpus is the same every run.
//
//   build/bench/bench_huffman --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/data/huffman.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

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
  double unit() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
};

uint8_t clampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Gradients, flat-coloured discs and boxes with soft edges, sometimes film
// grain: textures and rendered stills rather than photographs.
void addImage(Bytes& out, int width, int height, bool noisy, Random& random) {
  const size_t base = out.size();
  out.resize(base + size_t(width) * height * 4);
  uint8_t* pixels = out.data() + base;
  const int c0[3] = {int(random.below(256)), int(random.below(256)), int(random.below(256))};
  const int c1[3] = {int(random.below(256)), int(random.below(256)), int(random.below(256))};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = pixels + (size_t(y) * width + x) * 4;
      const int t = (x + y) * 256 / (width + height);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(c0[c] + (c1[c] - c0[c]) * t / 256);
      p[3] = 255;
    }
  for (int shape = 0; shape < 40; ++shape) {
    const int cx = random.below(width), cy = random.below(height);
    const int r = 8 + random.below(width / 6);
    const uint8_t colour[4] = {uint8_t(random.next()), uint8_t(random.next()), uint8_t(random.next()),
                               uint8_t(random.below(2) ? 255 : 128 + random.below(128))};
    const bool disc = random.below(2);
    for (int y = std::max(0, cy - r); y < std::min(height, cy + r); ++y)
      for (int x = std::max(0, cx - r); x < std::min(width, cx + r); ++x) {
        const double d = disc ? std::sqrt(double(x - cx) * (x - cx) + double(y - cy) * (y - cy))
                              : double(std::max(std::abs(x - cx), std::abs(y - cy)));
        if (d >= r) continue;
        const int cover = d > r - 2 ? int((r - d) * 128) : 256;  // soft edge
        uint8_t* p = pixels + (size_t(y) * width + x) * 4;
        for (int c = 0; c < 4; ++c) p[c] = static_cast<uint8_t>(p[c] + (colour[c] - p[c]) * cover / 256);
      }
  }
  if (noisy)
    for (size_t i = 0; i < size_t(width) * height * 4; ++i)
      if ((i & 3) != 3) pixels[i] = clampByte(pixels[i] + int(random.below(7)) - 3);
}

const char* const kWords[] = {
    "the", "of", "and", "to", "a", "in", "is", "it", "that", "was", "he", "for", "on", "are",
    "with", "as", "his", "they", "be", "at", "one", "have", "this", "from", "or", "had", "by",
    "word", "but", "what", "some", "we", "can", "out", "other", "were", "all", "there", "when",
    "up", "use", "your", "how", "said", "an", "each", "she", "which", "do", "their", "time",
    "if", "will", "way", "about", "many", "then", "them", "write", "would", "like", "so",
    "these", "her", "long", "make", "thing", "see", "him", "two", "has", "look", "more", "day",
    "could", "go", "come", "did", "number", "sound", "no", "most", "people", "my", "over",
    "know", "water", "than", "call", "first", "who", "may", "down", "side", "been", "now",
    "find", "lantern", "storm", "train", "clown", "robot", "light", "night", "music", "beneath",
    "quietly", "mechanical", "whistle", "carriage", "thunder", "landscape", "marvellous"};

void addProse(Bytes& out, size_t bytes, Random& random) {
  const size_t words = sizeof kWords / sizeof kWords[0];
  const size_t end = out.size() + bytes;
  bool capital = true;
  int inSentence = 0, inParagraph = 0;
  while (out.size() < end) {
    // Zipf-like: the square of a uniform number favours the first words.
    const double u = random.unit();
    std::string word = kWords[size_t(u * u * words)];
    if (capital) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    capital = false;
    out.insert(out.end(), word.begin(), word.end());
    if (++inSentence > 4 && random.below(8) == 0) {
      out.push_back(random.below(6) ? '.' : random.below(2) ? '?' : '!');
      capital = true;
      inSentence = 0;
      if (++inParagraph > 3 && random.below(4) == 0) {
        out.push_back('\n');
        out.push_back('\n');
        inParagraph = 0;
        continue;
      }
    } else if (random.below(12) == 0) {
      out.push_back(',');
    }
    out.push_back(' ');
  }
  out.resize(end);
}

void addSource(Bytes& out, size_t bytes, Random& random) {
  const char* const names[] = {"scene", "frame", "time", "vertex", "index", "count", "buffer",
                               "texture", "shader", "beat", "matrix", "colour", "width", "height"};
  const char* const types[] = {"int", "float", "const auto&", "size_t", "GLuint", "bool"};
  const size_t end = out.size() + bytes;
  int depth = 0;
  char line[256];
  while (out.size() < end) {
    const char* a = names[random.below(14)];
    const char* b = names[random.below(14)];
    switch (random.below(7)) {
      case 0:
        std::snprintf(line, sizeof line, "for (int i = 0; i < %s.size(); ++i) {", a);
        break;
      case 1:
        std::snprintf(line, sizeof line, "if (%s > %u) {", a, random.below(1000));
        break;
      case 2:
        std::snprintf(line, sizeof line, "%s %s_%s = %s * %u.%uf;", types[random.below(6)], a, b, b,
                      random.below(10), random.below(100));
        break;
      case 3:
        if (depth > 0) {
          --depth;
          std::snprintf(line, sizeof line, "}");
          break;
        }
        [[fallthrough]];
      case 4:
        std::snprintf(line, sizeof line, "// The %s follows the %s.", a, b);
        break;
      default:
        std::snprintf(line, sizeof line, "%s(%s, %s[%u]);", b, a, b, random.below(16));
        break;
    }
    out.insert(out.end(), size_t(depth) * 2, ' ');
    out.insert(out.end(), line, line + std::strlen(line));
    out.push_back('\n');
    if (line[std::strlen(line) - 1] == '{') ++depth;
    if (depth > 6) depth = 6;
  }
  out.resize(end);
}

// Stereo 16-bit, 44.1 kHz: notes of a few partials under decaying envelopes,
// a little hiss.
void addAudio(Bytes& out, size_t bytes, Random& random) {
  const size_t frames = bytes / 4;
  std::vector<float> mix(frames * 2, 0.0f);
  const double rate = 44100.0;
  for (size_t start = 0; start < frames; start += 5000 + random.below(20000)) {
    const double frequency = 110.0 * std::pow(2.0, random.below(36) / 12.0);
    const double length = rate * (0.2 + random.unit());
    const double pan = random.unit();
    const double loudness = 2000.0 + random.below(6000);
    for (size_t i = 0; i < size_t(length) && start + i < frames; ++i) {
      const double t = i / rate;
      const double envelope = std::min(1.0, i / 300.0) * std::exp(-3.0 * i / length);
      const double wave = std::sin(2 * kPi * frequency * t) + 0.4 * std::sin(4 * kPi * frequency * t) +
                          0.2 * std::sin(6 * kPi * frequency * t);
      const double v = loudness * envelope * wave;
      mix[(start + i) * 2] += float(v * (1.0 - pan));
      mix[(start + i) * 2 + 1] += float(v * pan);
    }
  }
  for (float& sample : mix) {
    const int v = int(sample) + int(random.below(65)) - 32;
    const int16_t s = static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
    out.push_back(static_cast<uint8_t>(s));
    out.push_back(static_cast<uint8_t>(uint16_t(s) >> 8));
  }
}

enum Part { kMixed, kImages, kText, kAudio, kPartCount };
const char* const kPartNames[] = {"mixed", "images", "text", "audio"};

// About 30 MB in all: 12 MB of images, 8 MB of text, 10 MB of audio,
// interleaved the way a data file holds files one after another.
const Bytes& corpus(int part) {
  static Bytes parts[kPartCount];
  if (parts[kMixed].empty()) {
    Random random{2024};
    for (int i = 0; i < 2; ++i) {
      Bytes images, text, audio;
      addImage(images, 1024, 1024, i == 1, random);
      for (int j = 0; j < 2; ++j) addImage(images, 512, 512, j == 0, random);
      addProse(text, 2500000, random);
      addSource(text, 1500000, random);
      addAudio(audio, 5000000, random);
      for (int p : {kImages, kText, kAudio}) {
        const Bytes& piece = p == kImages ? images : p == kText ? text : audio;
        parts[p].insert(parts[p].end(), piece.begin(), piece.end());
        parts[kMixed].insert(parts[kMixed].end(), piece.begin(), piece.end());
      }
    }
  }
  return parts[part];
}

const Bytes& huffmanBlock(int part) {
  static Bytes blocks[kPartCount];
  Bytes& block = blocks[part];
  if (block.empty()) {
    const Bytes& input = corpus(part);
    block.resize(huffmanBlockLength(input.data(), input.size()));
    huffmanCompress(input.data(), input.size(), block.data());
  }
  return block;
}

const Bytes& zlibStream(int part) {
  static Bytes streams[kPartCount];
  Bytes& stream = streams[part];
  if (stream.empty()) {
    const Bytes& input = corpus(part);
    uLongf length = compressBound(input.size());
    stream.resize(length);
    if (compress2(stream.data(), &length, input.data(), input.size(), Z_DEFAULT_COMPRESSION) != Z_OK)
      std::abort();
    stream.resize(length);
  }
  return stream;
}

void report(benchmark::State& state, int part, size_t compressed) {
  const size_t size = corpus(part).size();
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
  state.SetLabel(kPartNames[part]);
  state.counters["MB_in"] = double(size) / 1e6;
  state.counters["MB_packed"] = double(compressed) / 1e6;
  state.counters["ratio"] = double(compressed) / double(size);
}

void checkSame(const Bytes& output, int part) {
  if (output != corpus(part)) {
    std::fprintf(stderr, "decoded %s differs from the corpus\n", kPartNames[part]);
    std::abort();
  }
}

void BM_HuffmanDecompress(benchmark::State& state) {
  const int part = int(state.range(0));
  const Bytes& block = huffmanBlock(part);
  Bytes output;
  for (auto _ : state) {
    std::string error = huffmanDecompress(block.data(), block.size(), output);
    benchmark::DoNotOptimize(output.data());
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  checkSame(output, part);
  report(state, part, block.size());
}

void BM_HuffmanDecompressByTree(benchmark::State& state) {
  const int part = int(state.range(0));
  const Bytes& block = huffmanBlock(part);
  Bytes output;
  for (auto _ : state) {
    std::string error = huffmanDecompressByTree(block.data(), block.size(), output);
    benchmark::DoNotOptimize(output.data());
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  checkSame(output, part);
  report(state, part, block.size());
}

void BM_ZlibInflate(benchmark::State& state) {
  const int part = int(state.range(0));
  const Bytes& stream = zlibStream(part);
  Bytes output(corpus(part).size());
  for (auto _ : state) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) std::abort();
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (result != Z_STREAM_END) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(output.data());
  }
  checkSame(output, part);
  report(state, part, stream.size());
}

void BM_Memcpy(benchmark::State& state) {
  const int part = int(state.range(0));
  const Bytes& input = corpus(part);
  Bytes output(input.size());
  for (auto _ : state) {
    std::memcpy(output.data(), input.data(), input.size());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  report(state, part, input.size());
}

void BM_HuffmanCompress(benchmark::State& state) {
  const int part = int(state.range(0));
  const Bytes& input = corpus(part);
  Bytes block(huffmanBlockLength(input.data(), input.size()));
  for (auto _ : state) {
    huffmanCompress(input.data(), input.size(), block.data());
    benchmark::DoNotOptimize(block.data());
  }
  report(state, part, block.size());
}

void allParts(benchmark::internal::Benchmark* b) {
  for (int part = 0; part < kPartCount; ++part) b->Arg(part);
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_HuffmanDecompress)->Apply(allParts);
BENCHMARK(BM_ZlibInflate)->Apply(allParts);
BENCHMARK(BM_Memcpy)->Arg(kMixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HuffmanDecompressByTree)->Arg(kMixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HuffmanCompress)->Arg(kMixed)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
