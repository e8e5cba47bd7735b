#pragma once
// FrameCapture: the show's frames as files. Into a folder as numbered PNG
// pictures, or into an MP4 video with the music through ffmpeg. Frames are
// read from the back buffer after the scenes have drawn, before the swap.
//
// A video is written under a temporary name beside the target and gets its
// name only when the capture is finished; a capture that is abandoned, or a
// process that ends before finishing (a fatal error), leaves neither the
// half-written video nor the temporary sound file behind.
#include <string>
#include <vector>

#include "platform/process.h"

class Music;

class FrameCapture {
 public:
  // `target` ending in ".mp4": a video at `fps` whose sound is the music
  // from `soundStartSeconds` on (where the stream stands at the first
  // frame); ".png": one picture; anything else: a folder of frames.
  FrameCapture(const std::string& target, int width, int height, int fps, const Music& music,
               double soundStartSeconds);
  // Abandons what is not finished.
  ~FrameCapture();
  FrameCapture(const FrameCapture&) = delete;
  FrameCapture& operator=(const FrameCapture&) = delete;

  // Reads the frame just drawn and writes it out.
  void grab();
  // The capture is complete: the video is closed and takes its name.
  void finish();
  // The capture was stopped before its end: the video in progress and the
  // temporary sound are removed (pictures already written stay: each is whole).
  void abandon();

  int frames() const { return frames_; }
  bool isVideo() const { return video_; }

 private:
  void removeTemporaries();
  friend void abandonCaptureAtExit();

  std::string target_;
  int width_, height_;
  int frames_ = 0;
  bool video_ = false;
  std::vector<unsigned char> pixels_;
  FeedProcess encoder_;  // ffmpeg, fed the frames through its standard input
  std::string partialPath_;  // the video until it is finished
  std::string soundPath_;
};

// "frame_000042.png"
std::string captureFrameName(int index);

// A picture with rows bottom-up, as OpenGL reads them, as an RGB PNG file:
// fast compression (a capture spends its time drawing, not compressing).
bool writePng(const std::string& path, int width, int height, const unsigned char* rgb);
