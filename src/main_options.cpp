#include "main_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool parseInt(const char* text, int& value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (*end != '\0' || parsed < 0 || parsed > 100000) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool parseBeat(const char* text, float& beat) {
  if (!text || !*text) return false;
  char* end = nullptr;
  beat = std::strtof(text, &end);
  return *end == '\0' && beat >= 0.0f && beat < 100000.0f;
}

bool parseSize(const char* text, int& width, int& height) {
  if (!text) return false;
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x);
  return parseInt(w.c_str(), width) && parseInt(x + 1, height) && width > 0 && height > 0;
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--batch") {
      options.batch = true;
    } else if (arg == "--pack") {
      options.pack = true;
    } else if (arg == "--dev") {
      options.dev = true;
    } else if (arg == "--gl-debug") {
      options.glDebug = true;
    } else if (arg == "--no-warm-up") {
      options.warmUp = false;
    } else if (arg == "--anisotropy") {
      if (!parseInt(value, options.anisotropy) || options.anisotropy < 1 || options.anisotropy > 64) {
        error = "--anisotropy wants a filtering level from 1 to 64";
        return false;
      }
      ++i;
    } else if (arg == "--fullscreen") {
      options.fullscreen = true;
    } else if (arg == "--window") {
      if (!parseSize(value, options.width, options.height)) {
        error = "--window wants a size such as 1280x720";
        return false;
      }
      ++i;
    } else if (arg == "--samples") {
      int n;
      if (!parseInt(value, n) || (n != 0 && n != 2 && n != 4 && n != 8 && n != 16)) {
        error = "--samples wants 0, 2, 4, 8 or 16";
        return false;
      }
      options.samples = n;
      ++i;
    } else if (arg == "--vsync") {
      int n;
      if (!parseInt(value, n) || n > 1) {
        error = "--vsync wants 0 or 1";
        return false;
      }
      options.vsync = n;
      ++i;
    } else if (arg == "--start" || arg == "--frame" || arg == "--end") {
      float& beat = arg == "--start" ? options.start : arg == "--end" ? options.end : options.frameBeat;
      if (!parseBeat(value, beat)) {
        error = arg + " wants a beat such as 114 or 354.5";
        return false;
      }
      options.frame = options.frame || arg == "--frame";
      ++i;
    } else if (arg == "--benchmark") {
      if (!value || !*value) {
        error = "--benchmark wants the name of the CSV file for the frame times";
        return false;
      }
      options.benchmark = value;
      ++i;
    } else if (arg == "--out" || arg == "--capture") {
      if (!value || !*value) {
        error = arg + " wants a file or folder name";
        return false;
      }
      (arg == "--out" ? options.out : options.capture) = value;
      ++i;
    } else if (arg == "--size") {
      if (!parseSize(value, options.sizeWidth, options.sizeHeight)) {
        error = "--size wants a size such as 1280x720";
        return false;
      }
      ++i;
    } else if (arg == "--fps") {
      if (!parseInt(value, options.fps) || options.fps < 1 || options.fps > 1000) {
        error = "--fps wants a frame rate from 1 to 1000";
        return false;
      }
      ++i;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (options.frame != !options.out.empty()) {
    error = "--frame and --out go together";
    return false;
  }
  if (options.frame && !options.capture.empty()) {
    error = "--frame and --capture exclude each other";
    return false;
  }
  if (!options.benchmark.empty() && (options.frame || !options.capture.empty())) {
    error = "--benchmark excludes --frame and --capture";
    return false;
  }
  if (options.dev && (options.offline() || options.pack)) {
    error = "--dev plays live: it excludes --frame, --capture, --benchmark and --pack";
    return false;
  }
  if (options.frame && (options.out.size() < 5 || options.out.rfind(".png") != options.out.size() - 4)) {
    error = "--out wants a .png file name";
    return false;
  }
  return true;
}

void applyVideoOptions(const Options& options, VideoSettings& settings) {
  if (options.width > 0) {
    settings.width = options.width;
    settings.height = options.height;
    if (!options.fullscreen) settings.videoFlags &= ~kVideoFullscreen;
  } else if (options.dev && !options.fullscreen) {
    // A window beside the maker's editor.
    settings.width = 1280;
    settings.height = 720;
    settings.videoFlags &= ~kVideoFullscreen;
  }
  if (options.fullscreen) settings.videoFlags |= kVideoFullscreen;
  if (options.samples >= 0) settings.samples = options.samples;
  if (options.vsync >= 0) settings.vsync = options.vsync;
  if (options.offline()) {
    settings.width = options.sizeWidth > 0 ? options.sizeWidth : options.width > 0 ? options.width : 1280;
    settings.height = options.sizeWidth > 0 ? options.sizeHeight : options.width > 0 ? options.height : 720;
    settings.videoFlags &= ~kVideoFullscreen;
    settings.vsync = 0;
  }
}

const char* usageText() {
  return "usage: tinlantern [options]\n"
         "\n"
         "Plays the show. With no options it asks for the screen settings first.\n"
         "\n"
         "  --window WxH     open a window of that size (skips the set-up dialog)\n"
         "  --fullscreen     full screen (at the --window size, else the desktop's)\n"
         "  --samples N      multisampling: 0, 2, 4, 8 or 16 (default 4, none on a\n"
         "                   software renderer)\n"
         "  --vsync 0|1      wait for the vertical retrace (default 1)\n"
         "  --batch          nothing waits for a person: no dialog, no message boxes;\n"
         "                   errors go to standard error only; frame times are reported\n"
         "  --pack           load every asset from the plain data/ tree and write\n"
         "                   them into data.mvl beside the program\n"
         "  --dev            maker mode: play from the plain data/ tree in a window\n"
         "                   (1280x720 unless --window), with keys to pause, seek and\n"
         "                   loop and commands on standard input (see the README)\n"
         "  --start BEAT     start the show (and the music) at that beat, exactly as a\n"
         "                   run from the beginning shows it there\n"
         "  --end BEAT       stop after the frame at that beat (exit code 0)\n"
         "  --frame BEAT --out FILE.png\n"
         "                   render the frame at that beat offline and save it\n"
         "  --capture DIR|FILE.mp4\n"
         "                   render the whole show offline at a fixed frame rate:\n"
         "                   PNG frames into a folder, or a video with the music\n"
         "                   (needs ffmpeg)\n"
         "  --benchmark FILE.csv\n"
         "                   the timedemo: render the show (or --start to --end)\n"
         "                   offline at a fixed frame rate without vertical sync,\n"
         "                   print a table of frame times per scene and write every\n"
         "                   frame's time to the CSV file\n"
         "  --fps N          frame rate of --capture and --benchmark, and of the run\n"
         "                   from the beginning that --frame catches up with\n"
         "                   (default 60)\n"
         "  --size WxH       picture size of --frame, --capture and --benchmark\n"
         "                   (default: the --window size, else 1280x720)\n"
         "  --anisotropy N   anisotropic filtering of mipmapped textures (default:\n"
         "                   the driver's maximum, 1 on a software renderer)\n"
         "  --gl-debug       report every OpenGL error and driver message with the\n"
         "                   scene or operation it came from; any error makes the\n"
         "                   exit code 1\n"
         "  --no-warm-up     do not draw the show once unseen while loading (the\n"
         "                   driver then compiles shaders in each scene's first\n"
         "                   frames), to measure what that saves\n"
         "  --help           this text\n"
         "  --version        the program's version\n";
}
