/* A stand-in for ffmpeg.exe in the Windows archive's check: takes the
   frames from standard input as a video encoder would and writes what it
   got into the output file (its last argument): the byte count, the sound
   file's size and every argument, one a line. */
#include <stdio.h>
#include <string.h>
#include <fcntl.h>
#include <io.h>

int main(int argc, char** argv) {
  static char block[1 << 16];
  unsigned long long bytes = 0;
  size_t got;
  long sound = -1;
  int i;
  FILE* out;
  _setmode(_fileno(stdin), _O_BINARY);
  while ((got = fread(block, 1, sizeof block, stdin)) > 0) bytes += got;
  for (i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-i") == 0 && strcmp(argv[i + 1], "-") != 0) {
      FILE* f = fopen(argv[i + 1], "rb");
      if (f) {
        fseek(f, 0, SEEK_END);
        sound = ftell(f);
        fclose(f);
      }
    }
  }
  if (argc < 2 || !(out = fopen(argv[argc - 1], "wb"))) return 2;
  fprintf(out, "bytes %llu\nsound %ld\n", bytes, sound);
  for (i = 1; i < argc; ++i) fprintf(out, "%s\n", argv[i]);
  return fclose(out) == 0 ? 0 : 2;
}
