#pragma once
// FrameCapture: the show's frames as files. Into a folder as numbered PNG
// pictures, or into an MP4 video with the music through ffmpeg. Frames are
// read from the back buffer after the scenes have drawn, before the swap.
#include <cstdio>
#include <string>
#include <vector>

class Music;

class FrameCapture {
 public:
  // `target` ending in ".mp4": a video at `fps` with the music stream as
  // its sound; ".png": one picture; anything else: a folder of frames.
  FrameCapture(const std::string& target, int width, int height, int fps, const Music& music);
  ~FrameCapture();

  // Reads the frame just drawn and writes it out.
  void grab();
  // Closes the video (the pictures are complete as they are written).
  void finish();

  int frames() const { return frames_; }

 private:
  std::string target_;
  int width_, height_;
  int frames_ = 0;
  std::vector<unsigned char> pixels_;
  FILE* video_ = nullptr;  // ffmpeg's input
  std::string soundPath_;
};

// "frame_000042.png"
std::string captureFrameName(int index);
