#pragma once
// What the seed programs share: their command line (the folder the seeds go
// into) and writing a seed file, where any failure ends the program.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The seed folder, the one argument; a usage line and exit code 2 otherwise.
inline std::string seedDirectory(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEED_DIRECTORY\n", argv[0]);
    std::exit(2);
  }
  return argv[1];
}

// The file, opened for writing; ends the program when it cannot be.
inline FILE* createSeed(const std::string& path) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  return out;
}

inline void writeSeed(const std::string& path, const void* bytes, size_t length) {
  FILE* out = createSeed(path);
  const bool written = std::fwrite(bytes, 1, length, out) == length;
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

inline void writeSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  writeSeed(path, bytes.data(), bytes.size());
}
