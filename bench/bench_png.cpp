// The engine's PNG decoder against libpng on the same files, decoded to 8-bit
// RGBA. The pictures are made here, deterministically, and encoded with
// libpng at its default settings (level 6, adaptive filters): photographic
// and flat, RGB and RGBA, one Adam7. At the end the time ratio ours/libpng
// is printed per picture and over all of them.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "util/texture/png_decoder.h"
#include "util/error.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Picture {
  const char* name;
  uint32_t width, height;
  int channels;  // 3 or 4
  bool photo;
  bool adam7;
};

const Picture kPictures[] = {
    {"photo_rgb", 1024, 768, 3, true, false},  {"photo_rgba", 1024, 768, 4, true, false},
    {"flat_rgb", 1024, 768, 3, false, false},  {"flat_rgba", 1024, 768, 4, false, false},
    {"photo_rgb_adam7", 768, 768, 3, true, true},
};
constexpr int kPictureCount = sizeof kPictures / sizeof kPictures[0];

uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  return x ^ (x >> 16);
}

// Photographic: smooth light and colour with fine grain. Flat: a few shapes
// in solid colours, as in logos, charts and text.
Bytes makePixels(const Picture& p) {
  Bytes px(size_t{p.width} * p.height * p.channels);
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      uint8_t* o = &px[(size_t{y} * p.width + x) * p.channels];
      if (p.photo) {
        const float fx = x / 97.0f, fy = y / 71.0f;
        const float light = 0.5f + 0.25f * std::sin(fx + 0.7f * fy) + 0.2f * std::cos(0.6f * fx - fy);
        for (int c = 0; c < 3; ++c) {
          const float v = 255.0f * light * (0.7f + 0.1f * c * std::sin(fy + c)) +
                          float(hash(y * 131071 + x * 3 + c) % 9) - 4.0f;
          o[c] = uint8_t(std::fmin(255.0f, std::fmax(0.0f, v)));
        }
        if (p.channels == 4) o[3] = uint8_t(128 + 127 * std::sin(fx * 0.5f));
      } else {
        const int cell = int((x / 128) + (y / 96) * 8);
        const bool disc = (int(x % 128) - 64) * (int(x % 128) - 64) + (int(y % 96) - 48) * (int(y % 96) - 48) < 900;
        const uint32_t colour = hash(uint32_t(cell * 2 + disc));
        for (int c = 0; c < 3; ++c) o[c] = uint8_t(colour >> (8 * c));
        if (p.channels == 4) o[3] = disc ? 255 : (x / 128 % 2 ? 0 : 200);
      }
    }
  return px;
}

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

Bytes encode(const Picture& p) {
  const Bytes px = makePixels(p);
  Bytes file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &file, appendToBytes, nullptr);
  png_set_IHDR(png, info, p.width, p.height, 8, p.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               p.adam7 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_bytep> rows(p.height);
  for (uint32_t y = 0; y < p.height; ++y)
    rows[y] = const_cast<png_bytep>(&px[size_t{y} * p.width * p.channels]);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

const Bytes& file(int index) {
  static std::map<int, Bytes> files;
  auto it = files.find(index);
  if (it == files.end()) it = files.emplace(index, encode(kPictures[index])).first;
  return it->second;
}

struct Reader {
  const Bytes* bytes;
  size_t pos;
};

void readFromBytes(png_structp png, png_bytep data, png_size_t length) {
  Reader* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->bytes->size() - r->pos < length) png_error(png, "short file");
  std::memcpy(data, r->bytes->data() + r->pos, length);
  r->pos += length;
}

// libpng to 8-bit RGBA, top row first, the way a texture loader would use it.
bool decodeLibpng(const Bytes& bytes, Bytes& rgba) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  Reader reader{&bytes, 0};
  png_set_read_fn(png, &reader, readFromBytes);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const uint32_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  rgba.resize(size_t{w} * h * 4);
  std::vector<png_bytep> rows(h);
  for (uint32_t y = 0; y < h; ++y) rows[y] = &rgba[size_t{y} * w * 4];
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void label(benchmark::State& state, int index) {
  const Picture& p = kPictures[index];
  state.SetLabel(p.name);
  state.SetBytesProcessed(int64_t(state.iterations()) * p.width * p.height * 4);
  state.counters["file_kb"] = double(file(index).size()) / 1024.0;
}

void BM_PngOurs(benchmark::State& state) {
  const int index = int(state.range(0));
  const Bytes& bytes = file(index);
  for (auto _ : state) {
    QxRawPngDecoder decoder;
    decoder.decodeMemory(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(decoder.pixels);
  }
  label(state, index);
}

void BM_PngLibpng(benchmark::State& state) {
  const int index = int(state.range(0));
  const Bytes& bytes = file(index);
  Bytes rgba;
  for (auto _ : state) {
    decodeLibpng(bytes, rgba);
    benchmark::DoNotOptimize(rgba.data());
  }
  label(state, index);
}

void allPictures(benchmark::internal::Benchmark* b) {
  for (int i = 0; i < kPictureCount; ++i) b->Arg(i);
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_PngOurs)->Apply(allPictures);
BENCHMARK(BM_PngLibpng)->Apply(allPictures);

// The console output, then the ratio ours/libpng per picture.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.benchmark_name();
      const double t = run.GetAdjustedRealTime();
      const std::string arg = name.substr(name.find('/'));
      if (name.rfind("BM_PngOurs", 0) == 0) ours_[arg] = t;
      if (name.rfind("BM_PngLibpng", 0) == 0) libpng_[arg] = t;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double sumOurs = 0, sumLibpng = 0;
    std::printf("\n%-18s %10s %10s %8s\n", "picture", "ours ms", "libpng ms", "ratio");
    for (const auto& [arg, t] : ours_) {
      auto it = libpng_.find(arg);
      if (it == libpng_.end()) continue;
      const int index = std::atoi(arg.c_str() + 1);
      std::printf("%-18s %10.3f %10.3f %8.2f\n", kPictures[index].name, t, it->second, t / it->second);
      sumOurs += t;
      sumLibpng += it->second;
    }
    if (sumLibpng > 0) std::printf("%-18s %10.3f %10.3f %8.2f\n", "all", sumOurs, sumLibpng, sumOurs / sumLibpng);
  }

 private:
  std::map<std::string, double> ours_, libpng_;
};

// Our decoder must give libpng's pixels, or the timing means nothing.
bool sameOutput() {
  for (int i = 0; i < kPictureCount; ++i) {
    QxRawPngDecoder decoder;
    Bytes expected;
    decoder.decodeMemory(file(i).data(), file(i).size());
    if (!decodeLibpng(file(i), expected) || !decoder.pixels ||
        std::memcmp(decoder.pixels, expected.data(), expected.size()) != 0) {
      std::fprintf(stderr, "bench_png: %s decodes differently from libpng\n", kPictures[i].name);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(exitOnFailure);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!sameOutput()) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
