// tinlantern: the program entry. Start-up, the show, the end.
#include <cstdio>

#include "main_demo.h"
#include "main_options.h"
#include "main_startup.h"
#include "platform/messagebox.h"
#include "platform/video.h"
#include "util/data/data.h"
#include "util/data/loadingscreen.h"

int main(int argc, char** argv) {
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

  if (!startVideo(options)) return 0;  // the set-up dialog was cancelled

  dataMode = options.pack ? kDataPacking : kDataReading;
  startLoadingScreen();
  openDataFile();
  {
    Demo demo;
    writeDataFile();
    demo.reportFrameTimes(options.batch);
    int width, height;
    drawableSize(width, height);
    demo.resize(width, height);
    demo.startShow();
    demo.run();
  }
  videoShutdown();
  return 0;
}
