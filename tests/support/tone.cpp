#include "tone.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<uint8_t> encodedTone(double seconds, const char* format) {
  char wav[] = "/tmp/tinlantern-tone-XXXXXX";
  close(mkstemp(wav));
  uint32_t frames = static_cast<uint32_t>(seconds * 44100);
  auto le = [](std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  };
  std::string data;
  for (uint32_t i = 0; i < frames; ++i) {
    int16_t sample = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 441.0 * i / 44100.0));
    le(data, static_cast<uint16_t>(sample), 2);
    le(data, static_cast<uint16_t>(sample), 2);
  }
  std::string file = "RIFF";
  le(file, 36 + static_cast<uint32_t>(data.size()), 4);
  file += "WAVEfmt ";
  le(file, 16, 4);
  le(file, 1, 2);
  le(file, 2, 2);
  le(file, 44100, 4);
  le(file, 44100 * 4, 4);
  le(file, 4, 2);
  le(file, 16, 2);
  file += "data";
  le(file, static_cast<uint32_t>(data.size()), 4);
  std::ofstream(wav, std::ios::binary) << file << data;

  std::string out = std::string(wav) + "." + format;
  std::string command = std::string(format) == "ogg"
                            ? "oggenc -Q -s 1 -o " + out + " " + wav
                            : "lame --quiet -b 128 " + std::string(wav) + " " + out;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::string bytes = slurp(out);
  unlink(wav);
  unlink(out.c_str());
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

