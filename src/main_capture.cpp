#include "main_capture.h"

#include <GL/glew.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "platform/system.h"
#include "util/error.h"
#include "util/music/music.h"
#include "util/util.h"

namespace {

// The one capture in progress, for the exit path.
FrameCapture* active = nullptr;

}  // namespace

// A process that ends while a video is unfinished (a fatal error, an Escape
// release) leaves nothing of it behind.
void abandonCaptureAtExit() {
  if (active) active->abandon();
}

std::string captureFrameName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", index);
  return name;
}

bool writePng(const std::string& path, int width, int height, const unsigned char* rgb) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool written = false;
  if (info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    // The fastest deflate level with the "up" filter: frames of the show
    // compress nearly as well as with the slow defaults.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    size_t row = static_cast<size_t>(width) * 3;
    for (int y = height - 1; y >= 0; --y)
      png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * row));
    png_write_end(png, nullptr);
    written = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0 && written;
}

FrameCapture::FrameCapture(const std::string& target, int width, int height, int fps,
                           const Music& music, double soundStartSeconds)
    : target_(target), width_(width), height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
  if (endsWith(target, ".png")) return;
  if (!endsWith(target, ".mp4")) {
    if (!makeFolder(target)) FATAL("Cannot capture into %s: not a folder", target.c_str());
    return;
  }

  if (!programOnPath("ffmpeg"))
    FATAL("Capturing a video needs ffmpeg, which is not installed; capture into a folder for "
          "PNG frames instead");
  static bool registered = std::atexit(abandonCaptureAtExit) == 0;
  (void)registered;
  active = this;
  video_ = true;

  // The music exactly as the show plays it: the stream file itself.
  size_t dot = music.streamPath().rfind('.');
  std::string ending = dot == std::string::npos ? "" : music.streamPath().substr(dot);
  soundPath_ = writeTemporaryFile(ending, music.streamFile());
  if (soundPath_.empty()) FATAL("Failed to write the sound to a temporary file");
  partialPath_ = target + ".partial";

  char start[32];
  std::snprintf(start, sizeof start, "%.6f", soundStartSeconds);
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  const std::string rate = std::to_string(fps);
  if (!encoder_.start({
          "ffmpeg", "-y", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size,
          "-r", rate, "-i", "-", "-ss", start, "-i", soundPath_,
          // GL rows run bottom up; x264's 4:2:0 wants even sides.
          "-vf", "vflip,pad=ceil(iw/2)*2:ceil(ih/2)*2", "-c:v", "libx264", "-pix_fmt", "yuv420p",
          "-crf", "18",
          // Silence after the music's end, so the sound lasts as long as the picture.
          "-af", "apad", "-c:a", "aac", "-b:a", "192k", "-shortest", "-f", "mp4", partialPath_}))
    FATAL("Failed to start ffmpeg");
}

FrameCapture::~FrameCapture() { abandon(); }

void FrameCapture::grab() {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  if (encoder_.running()) {
    if (!encoder_.write(pixels_.data(), pixels_.size()))
      FATAL("Failed to hand frame %i to ffmpeg", frames_);
  } else {
    std::string path = endsWith(target_, ".png") ? target_ : target_ + "/" + captureFrameName(frames_);
    if (!writePng(path, width_, height_, pixels_.data())) FATAL("Failed to write %s", path.c_str());
  }
  ++frames_;
}

void FrameCapture::finish() {
  if (encoder_.running()) {
    if (!encoder_.finish()) {
      removeTemporaries();
      FATAL("ffmpeg failed to write %s", target_.c_str());
    }
    if (!renameFile(partialPath_, target_)) {
      removeTemporaries();
      FATAL("Failed to name the video %s", target_.c_str());
    }
    partialPath_.clear();
  }
  removeTemporaries();
}

void FrameCapture::abandon() {
  encoder_.stop();
  removeTemporaries();
}

void FrameCapture::removeTemporaries() {
  if (!partialPath_.empty()) removeFile(partialPath_);
  if (!soundPath_.empty()) removeFile(soundPath_);
  partialPath_.clear();
  soundPath_.clear();
  if (active == this) active = nullptr;
}
