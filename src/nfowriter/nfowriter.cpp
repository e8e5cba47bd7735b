// Writes the release's tinlantern.nfo to standard output.
//
//   nfowriter linux|windows|linux,windows
#include <cstdio>
#include <string>

#include "nfowriter/nfo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nfowriter linux|windows|linux,windows\n");
    return 2;
  }
  std::fputs(Nfo::text(TINLANTERN_VERSION, argv[1]).c_str(), stdout);
  return 0;
}
