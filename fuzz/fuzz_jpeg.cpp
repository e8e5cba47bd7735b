// libFuzzer target: arbitrary bytes as a JPEG file through loadJPG (libjpeg
// with the loader's error handler), the file served from memory
// (image_target.h says what must hold).
// Built with -DJPEG_FUZZ_SEEDS instead, it writes a few small pictures
// encoded by libjpeg into the directory named on its command line: colour
// with and without chroma subsampling, greyscale, progressive, restart
// markers, and a CMYK picture the loader does not take.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef JPEG_FUZZ_SEEDS

#include "image_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  image_target::run(bytes, length, "fuzz_jpeg", loadJPG);
  return 0;
}

#else

#include "seed_files.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

struct Picture {
  const char* name;
  int width, height, components;
  J_COLOR_SPACE space;
  bool subsampled, progressive;
  int restartRows;
};

void write(const std::string& dir, const Picture& p) {
  const std::string path = dir + "/" + p.name;
  FILE* out = createSeed(path);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = p.width;
  cinfo.image_height = p.height;
  cinfo.input_components = p.components;
  cinfo.in_color_space = p.space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 60, TRUE);
  if (p.components == 3 && !p.subsampled) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
  if (p.progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_in_rows = p.restartRows;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(size_t(p.width) * p.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = JSAMPLE((i * 37 + cinfo.next_scanline * 11) & 0xFF);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  const Picture pictures[] = {
      {"rgb_420.jpg", 17, 9, 3, JCS_RGB, true, false, 0},
      {"rgb_444.jpg", 8, 8, 3, JCS_RGB, false, false, 0},
      {"grey.jpg", 12, 5, 1, JCS_GRAYSCALE, false, false, 0},
      {"progressive.jpg", 24, 16, 3, JCS_RGB, true, true, 0},
      {"restarts.jpg", 16, 32, 3, JCS_RGB, true, false, 1},
      {"cmyk.jpg", 8, 8, 4, JCS_CMYK, false, false, 0},
  };
  for (const Picture& p : pictures) write(dir, p);
  return 0;
}

#endif
