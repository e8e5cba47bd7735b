#include "main_capture.h"

#include <GL/glew.h>
#include <stb/stb_image_write.h>  // the implementation is in libstb
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "util/error.h"
#include "util/music/music.h"


namespace {

bool endsWith(const std::string& text, const char* ending) {
  size_t n = std::strlen(ending);
  return text.size() >= n && text.compare(text.size() - n, n, ending) == 0;
}

bool ffmpegInstalled() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// Single quotes for the shell.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string captureFrameName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", index);
  return name;
}

FrameCapture::FrameCapture(const std::string& target, int width, int height, int fps,
                           const Music& music)
    : target_(target), width_(width), height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
  stbi_flip_vertically_on_write(1);  // GL rows run bottom up
  if (endsWith(target, ".png")) return;
  if (!endsWith(target, ".mp4")) {
    mkdir(target.c_str(), 0755);
    struct stat info;
    if (stat(target.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
      FATAL("Cannot capture into %s: not a folder", target.c_str());
    return;
  }

  if (!ffmpegInstalled())
    FATAL("Capturing a video needs ffmpeg, which is not installed; capture into a folder for "
          "PNG frames instead");
  // The music exactly as the show plays it: the stream file itself.
  size_t dot = music.streamPath().rfind('.');
  std::string ending = dot == std::string::npos ? "" : music.streamPath().substr(dot);
  char sound[] = "/tmp/tinlantern-sound-XXXXXX";
  int fd = mkstemp(sound);
  if (fd < 0) FATAL("Failed to create a temporary file for the sound");
  close(fd);
  soundPath_ = std::string(sound) + ending;
  rename(sound, soundPath_.c_str());
  FILE* out = std::fopen(soundPath_.c_str(), "wb");
  if (!out || std::fwrite(music.streamFile().data(), 1, music.streamFile().size(), out) !=
                  music.streamFile().size())
    FATAL("Failed to write the sound to %s", soundPath_.c_str());
  std::fclose(out);

  std::string command = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 -s " +
                        std::to_string(width) + "x" + std::to_string(height) + " -r " +
                        std::to_string(fps) + " -i - -i " + quoted(soundPath_) +
                        " -vf vflip -c:v libx264 -pix_fmt yuv420p -crf 18 -c:a aac -b:a 192k "
                        "-shortest " + quoted(target);
  video_ = popen(command.c_str(), "w");
  if (!video_) FATAL("Failed to start ffmpeg");
}

FrameCapture::~FrameCapture() { finish(); }

void FrameCapture::grab() {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  if (video_) {
    if (std::fwrite(pixels_.data(), pixels_.size(), 1, video_) != 1)
      FATAL("Failed to hand frame %i to ffmpeg", frames_);
  } else {
    std::string path = endsWith(target_, ".png") ? target_ : target_ + "/" + captureFrameName(frames_);
    if (!stbi_write_png(path.c_str(), width_, height_, 3, pixels_.data(), width_ * 3))
      FATAL("Failed to write %s", path.c_str());
  }
  ++frames_;
}

void FrameCapture::finish() {
  if (video_) {
    int status = pclose(video_);
    video_ = nullptr;
    if (status != 0) FATAL("ffmpeg failed to write %s", target_.c_str());
  }
  if (!soundPath_.empty()) {
    unlink(soundPath_.c_str());
    soundPath_.clear();
  }
}
