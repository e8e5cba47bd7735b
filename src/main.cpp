// tinlantern: the program entry. Start-up, the show, the end.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "main_demo.h"
#include "main_maker.h"
#include "main_options.h"
#include "main_startup.h"
#include "platform/messagebox.h"
#include "platform/system.h"
#include "platform/video.h"
#include "util/shaderprogram/shaderprogram.h"
#include "util/data/data.h"
#include "util/data/loadingscreen.h"
#include "util/fatal_report.h"
#include "util/gl_debug.h"
#include "util/music/audio.h"
#include "util/prefetch.h"

namespace {

// The timedemo: the show (or --start to --end) offline at the fixed frame
// rate, the table on standard output and every frame in the CSV file.
int runTimedemo(Demo& demo, const Options& options) {
  std::vector<std::string> names;
  for (const TimelineSlot& slot : timeline()) names.push_back(slot.scene);
  Benchmark benchmark(names);
  benchmark.reserve(static_cast<size_t>(options.fps) * 600);  // ten minutes: no growth while timing
  demo.startShow(options.start, true, options.fps);
  if (!demo.runBenchmark(benchmark, options.fps)) {
    std::fprintf(stderr, "tinlantern: the timedemo was stopped before its end\n");
    return 1;
  }
  std::printf("timedemo at %d frames a second:\n", options.fps);
  benchmark.printTable(stdout);
  if (!benchmark.writeCsv(options.benchmark)) {
    std::fprintf(stderr, "tinlantern: cannot write the frame times to %s\n", options.benchmark.c_str());
    return 1;
  }
  std::printf("every frame's time is in %s\n", options.benchmark.c_str());
  return 0;
}

}  // namespace

// More than the loading's peak (about 360 MB at 640x360 on a software
// renderer, whose textures live in the heap too).
constexpr size_t kLoadingHeap = size_t{512} << 20;
// How far ahead of the allocator the heap is faulted in while loading: room
// for the largest bursts (a picture and its driver copy, the marching cubes'
// grids) without faulting in much the loading never uses.
constexpr size_t kPrefaultLead = size_t{64} << 20;

int main(int argc, char** argv) {
  startPrefaultingHeap(prepareHeapForLoading(kLoadingHeap), kPrefaultLead);  // before any thread starts
  setFailureHandler(reportFatally);
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tinlantern: %s\n\n%s", error.c_str(), usageText());
    return 2;
  }
  if (options.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tinlantern %s\n", TINLANTERN_VERSION);
    return 0;
  }
  setMessageBoxesEnabled(!options.batch);
  if (options.dev && !isFolder("data")) {
    std::fprintf(stderr, "tinlantern: --dev plays from the data/ folder of the working folder, and "
                         "there is none here (run it from the repository's root)\n");
    return 1;
  }

  // Maker mode reads the plain data/ tree, as packing does, and writes nothing.
  dataMode = options.dev ? kDataPlain : options.pack ? kDataPacking : kDataReading;
  // Read while the window opens; the loading screen's first picture needs
  // none of it. The pictures and documents are then decoded ahead on the
  // prefetch worker, started by the reading thread as soon as it is done.
  stopPrefetchAtExit();
  startReadingDataFile(dataFilePath(), [](const DataIndex& index) {
    startPrefetch(filesInLoadingOrder(index), index);
  });

  setAudioOffline(options.offline());
  if (!startVideo(options)) return 0;  // the set-up dialog was cancelled
  if (!videoHasDisplay() && !options.offline())
    std::fprintf(stderr, "tinlantern: there is no display: the show plays without a picture "
                         "(--frame and --capture write pictures)\n");
  setSilentFallback(options.batch || !videoHasDisplay());
  startAudioInit();  // the music waits for it

  int exitCode = 0;
  auto loadingBegan = std::chrono::steady_clock::now();
  startLoadingScreen();
  openDataFile();
  loadLoadingLogo();
  {
    Demo demo;
    int width, height;
    drawableSize(width, height);
    demo.resize(width, height);
    if (options.warmUp) demo.warmUp();
    stopPrefaultingHeap();
    finishLoadingScreen();
    // Said in every run: from here on Escape ends the show with 0 (before,
    // during the loading, with 1), which is what a script driving it waits for.
    std::fprintf(stderr, "tinlantern: loaded %u files in %.2f s\n", loadingProgress().done,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - loadingBegan).count());
    writeDataFile();
    demo.reportFrameTimes(options.batch);
    if (options.end >= 0.0f) demo.endAfter(options.end);
    if (!options.benchmark.empty()) {
      exitCode = runTimedemo(demo, options);
    } else if (options.offline()) {
      demo.startShow(options.frame ? options.frameBeat : options.start, true, options.fps);
      // The video's sound starts where the music stands at the first frame.
      FrameCapture capture(options.frame ? options.out : options.capture, width, height,
                           options.fps, demo.music(), demo.music().positionSeconds());
      if (!demo.runOffline(capture, options.fps, options.frame)) {
        std::fprintf(stderr, "tinlantern: the capture was stopped before its end: %s\n",
                     capture.isVideo() ? "nothing was written"
                                       : "the pictures written so far are kept");
        exitCode = 1;
      }
    } else if (options.dev) {
      ShaderProgram::tolerateMissingUniforms(true);
      demo.holdAtTheEnd();
      demo.startShow(options.start, true);  // the fixed seed: every seek shows what --frame does
      runMaker(demo);
    } else {
      demo.startShow(options.start);
      demo.run();
    }
  }
  videoShutdown();
  return glDebugExitCode(exitCode);
}
