// JPEG loader through libjpeg (API version 62), decoded to RGB.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "util/data/data.h"
#include "util/texture/image_loader.h"
#include "util/texture/texture.h"

namespace {

// libjpeg's standard error handler ends the process; ours jumps back so a
// broken file is an ordinary failed load.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  void (*standardMessage)(j_common_ptr, int);
  bool scanning = false;  // reading the picture's data, after its headers
};

void onJpegError(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// libjpeg only warns when the picture's data ends early or is corrupt, and
// fills the rest of the picture with grey: those warnings fail the load like
// errors. (Headers cut short end in libjpeg's own error.)
void onJpegMessage(j_common_ptr info, int level) {
  if (level == -1 && reinterpret_cast<JpegErrorManager*>(info->err)->scanning) {
    switch (info->err->msg_code) {
      case JWRN_JPEG_EOF:       // "Premature end of JPEG file"
      case JWRN_HIT_MARKER:     // "Corrupt JPEG data: premature end of data segment"
      case JWRN_HUFF_BAD_CODE:  // "Corrupt JPEG data: bad Huffman code"
      case JWRN_MUST_RESYNC:    // "Corrupt JPEG data: found marker ... instead of RST"
        onJpegError(info);
      default:
        break;
    }
  }
  reinterpret_cast<JpegErrorManager*>(info->err)->standardMessage(info, level);
}

// Decodes into the raster. False after its message. Only plain C state lives
// between setjmp and the longjmp back; the raster and row buffer are owned
// by the caller.
bool decodeJpeg(FILE* file, RgbRaster& raster, JSAMPLE* volatile& row) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  cinfo.err = jpeg_std_error(&error.pub);
  error.pub.error_exit = onJpegError;
  error.standardMessage = error.pub.emit_message;
  error.pub.emit_message = onJpegMessage;
  if (setjmp(error.jump)) {
    char text[JMSG_LENGTH_MAX];
    error.pub.format_message(reinterpret_cast<j_common_ptr>(&cinfo), text);
    jpeg_destroy_decompress(&cinfo);
    loaderMessageAt(__FILE__, __LINE__, text);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  if (!validImageSize(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    loaderMessageAt(__FILE__, __LINE__, "Invalid texture information");
    return false;
  }
  cinfo.out_color_space = JCS_RGB;
  error.scanning = true;  // a progressive picture is read whole here
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3 || !raster.resize(cinfo.output_width, cinfo.output_height)) {
    jpeg_destroy_decompress(&cinfo);
    loaderMessageAt(__FILE__, __LINE__, "Invalid texture information");
    return false;
  }
  row = static_cast<JSAMPLE*>(std::malloc(size_t{cinfo.output_width} * 3));
  if (!row) {
    jpeg_destroy_decompress(&cinfo);
    loaderMessage("ERROR", "Could not allocate memory for image");
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t y = cinfo.output_scanline;  // the first scanline is the top row
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {  // only a suspending source does this
      jpeg_destroy_decompress(&cinfo);
      loaderMessage("ERROR", "Could not read image data");
      return false;
    }
    for (uint32_t x = 0; x < cinfo.output_width; ++x)
      raster.set(x, y, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

bool loadJPG(const char* fileName, Texture& texture) {
  FILE* file = dataFopen(fileName, "rb");
  if (!file) return false;
  bool decoded = decodeJPG(file, texture);
  std::fclose(file);
  return decoded;
}

bool decodeJPG(FILE* file, Texture& texture) {
  RgbRaster raster;
  JSAMPLE* volatile row = nullptr;
  bool decoded = decodeJpeg(file, raster, row);
  std::free(row);
  if (!decoded) return false;
  raster.handOver(texture);
  return true;
}
