#include "main_demo.h"

#include <GL/glew.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ticks.h"
#include "util/gl_debug.h"
#include "platform/video.h"
#include "scenes/scene_clown/scene_clown.h"
#include "scenes/scene_codescroller/scene_codescroller.h"
#include "scenes/scene_credits/scene_credits.h"
#include "scenes/scene_dadezaruv/scene_dadezaruv.h"
#include "scenes/scene_endtext/scene_endtext.h"
#include "scenes/scene_metaballmarch/scene_metaballmarch.h"
#include "scenes/scene_tiles/scene_tiles.h"
#include "scenes/scene_train/scene_train.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/prefetch.h"
#include "util/video_settings.h"

const std::vector<TimelineSlot>& timeline() {
  static const std::vector<TimelineSlot> slots = {
#define SLOT(name, first, last, fadeIn, fadeOut) \
  {#name, first, last, fadeIn, fadeOut, []() -> Scene* { return new name; }},
#include "timeline.def"
#undef SLOT
  };
  return slots;
}

const TimelineSlot& timelineSlot(const char* scene) {
  for (const TimelineSlot& slot : timeline())
    if (std::strcmp(slot.scene, scene) == 0) return slot;
  FATAL("No scene %s on the timeline", scene);
}

void placeInSlot(Scene& scene, const TimelineSlot& slot) {
  scene.start = slot.start;
  scene.end = slot.end;
  scene.fadeInEnd = slot.fadeInEnd();
  scene.fadeOutStart = slot.fadeOutStart();
}

FrameTime readFrameTime(Music& music) {
  FrameTime time;
  time.beat = music.time();
  time.beatStep = music.beatStep;
  return time;
}

namespace {

// The data file's files in about the order the loading asks for them: the
// shared ones, then each scene's folder in timeline order.
std::vector<std::string> filesInLoadingOrder() {
  std::vector<std::string> folders = {"data/common/"};
  for (const TimelineSlot& slot : timeline()) {
    std::string folder = "data/";
    for (const char* c = slot.scene; *c; ++c)
      folder += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    folders.push_back(folder + "/");
  }
  std::vector<std::string> paths;
  for (const std::string& folder : folders)
    for (const auto& entry : dataIndex)
      if (entry->name.compare(0, folder.size(), folder) == 0) paths.push_back(entry->name);
  return paths;
}

}  // namespace

Demo::Demo() : width_(videoSettings.width), height_(videoSettings.height) {
  startPrefetch(filesInLoadingOrder());
  {
    GlOperation operation("loading the shader library");
    shaders_ = std::make_unique<ShaderLibrary>();
  }
  {
    GlOperation operation("making the shared render target");
    renderTarget_ = std::make_unique<FBO>(512, 512, 1);
  }
  {
    GlOperation operation("loading the text engine");
    ascii_ = std::make_unique<AsciiEngine>();
  }
  music_ = std::make_unique<Music>(kSyncConfiguration);
  checkGlErrors();
  for (const TimelineSlot& slot : timeline()) {
    GlOperation operation("loading", slot.scene);
    scenes_.emplace_back(slot.create());
    Scene* scene = scenes_.back().get();
    placeInSlot(*scene, slot);
    scene->music = music_.get();
    scene->shaders = shaders_.get();
    scene->renderTarget = renderTarget_.get();
    scene->ascii = ascii_.get();
    scene->fonts = &fonts_;
    scene->load();
    checkGlErrors();
  }
  stopPrefetch();
}

Demo::~Demo() {
  for (auto& scene : scenes_) scene->release();
}

void Demo::resize(int width, int height) {
  GlOperation operation("resizing the shared render target");
  width_ = width;
  height_ = height;
  renderTarget_->resize(sharedTargetSide(width), sharedTargetSide(height));
  ascii_->screenWidth = width;
  ascii_->screenHeight = height;
}

namespace {

// A frame this little before a beat is the frame at that beat: a beat
// written out with a few decimals names the frame it was taken from. Far
// less than a frame even at 1000 frames a second (0.002 beats at 125 bpm).
constexpr float kSameBeat = 1e-3f;

}  // namespace

void Demo::startShow(float startBeat, bool fixedSeed, int fps) {
  catchUpFps_ = fps;
  std::srand(fixedSeed ? 1u : ticksMs());
  music_->setVolume(1.0f);
  if (startBeat > 0.0f) {
    catchUp(startBeat, fps);
    music_->start();
  } else {
    music_->play();
  }
  while (music_->time() < 0.0f) {
  }
}

void Demo::catchUp(float beat, int fps) {
  auto begun = std::chrono::steady_clock::now();
  music_->beginCatchUp();
  uint64_t frames = 0;
  for (; music_->time() < beat - kSameBeat; ++frames) {
    music_->update();
    stepScenes(readFrameTime(*music_));
    music_->advance(1.0 / fps);
  }
  music_->endCatchUp();
  if (reportFrameTimes_)
    std::fprintf(stderr, "tinlantern: caught up to beat %.3f in %llu frames at %i fps in %.3f s\n",
                 static_cast<double>(music_->time()), static_cast<unsigned long long>(frames), fps,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count());
}

void Demo::seek(float beat) {
  music_->pause();  // nothing heard while the show catches up
  for (auto& scene : scenes_) scene->rewind();
  std::srand(1u);
  Music::resetClock();
  catchUp(std::max(0.0f, std::min(beat, lastBeat())), catchUpFps_);
  // Until the next frame is drawn, the time it will show.
  shownTime_ = FrameTime();
  shownTime_.beat = music_->time();
  holding_ = false;
  if (!paused_) music_->resume();
}

void Demo::pause() {
  if (paused_) return;
  paused_ = true;
  music_->pause();
  holding_ = frames_ > 0;
}

void Demo::resume() {
  if (!paused_) return;
  paused_ = false;
  holding_ = false;
  music_->resume();
}

float Demo::lastBeat() const {
  return static_cast<float>(music_->durationSeconds() / 60.0 * music_->tempo + music_->beatOffset);
}

void Demo::stepScenes(const FrameTime& time) {
  for (size_t i = 0; i < scenes_.size(); ++i) {
    Scene* scene = scenes_[i].get();
    if (!slotContains(scene->start, scene->end, time.beat)) continue;
    GlOperation operation(timeline()[i].scene, "step");
    scene->step(time.inSlot(scene->start));
  }
}

bool Demo::takeEvents(std::vector<WindowEvent>* keys) {
  WindowEvent event;
  while (pollWindowEvent(event)) {
    switch (event.kind) {
      case WindowEventKind::KeyPressed:
        if (keys) keys->push_back(event);
        break;
      case WindowEventKind::EscapePressed:
        stopRequested_ = true;
        ending_ = true;
        break;
      case WindowEventKind::Quit:
        // The frame that finds the music stopped posts one too.
        stopRequested_ = stopRequested_ || !musicEnded_;
        ending_ = true;
        break;
      case WindowEventKind::EscapeReleased:
        if (offline_) {  // the capture must be abandoned properly first
          stopRequested_ = true;
          ending_ = true;
          break;
        }
        printFrameTimes();
        std::exit(glDebugExitCode(0));  // at once, without the teardown
      case WindowEventKind::Resized:
        resize(event.width, event.height);
        break;
      case WindowEventKind::Dragged:
      case WindowEventKind::Other:
        break;
    }
  }
  return !ending_;
}

void Demo::run() {
  // One more frame is drawn after the end was asked for.
  for (bool going = true; going && !reachedEnd_;) {
    going = takeEvents();
    frame();
  }
  printFrameTimes();
}

bool Demo::runOffline(FrameCapture& capture, int fps, bool singleFrame) {
  const bool complete = runFixedRate(&capture, fps, singleFrame);
  if (complete) {
    capture.finish();
  } else {
    capture.abandon();
  }
  return complete;
}

bool Demo::runBenchmark(Benchmark& benchmark, int fps) {
  benchmark_ = &benchmark;
  const bool complete = runFixedRate(nullptr, fps, false);
  benchmark_ = nullptr;
  return complete;
}

bool Demo::runFixedRate(FrameCapture* capture, int fps, bool singleFrame) {
  offline_ = true;
  for (bool going = true; going && !reachedEnd_;) {
    going = takeEvents() && !singleFrame;
    frame(capture);
    music_->advance(1.0 / fps);
  }
  printFrameTimes();
  return !stopRequested_;
}

void Demo::frame(FrameCapture* capture) {
  auto begun = std::chrono::steady_clock::now();

  // A held frame is drawn again at its time, without a step.
  const bool stepping = !holding_;
  if (stepping) {
    music_->update();
    shownTime_ = readFrameTime(*music_);
    if (!music_->isPlaying()) {
      if (holdAtTheEnd_) {
        pause();
      } else {
        musicEnded_ = true;
        postQuit();  // the frame is still drawn
      }
    }
  }
  const FrameTime time = shownTime_;

  // Black, whatever clear colour the last scene left: the bands around the
  // picture and the frames outside every slot stay black.
  {
    GlOperation operation("clearing the frame");
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    checkGlErrors();
  }
  uint32_t drawn = 0;
  for (size_t i = 0; i < scenes_.size(); ++i) {
    Scene* scene = scenes_[i].get();
    if (!slotContains(scene->start, scene->end, time.beat)) continue;
    drawn |= 1u << i;
    GlOperation operation(timeline()[i].scene);
    const FrameTime sceneTime = time.inSlot(scene->start);
    if (stepping) {
      GlOperation step("step");
      scene->step(sceneTime);
    }
    {
      GlOperation step("state reset and view");
      scene->resetState();
      scene->resizeView(width_, height_);
      checkGlErrors();
    }
    GlOperation step("draw");
    scene->draw(sceneTime);
    checkGlErrors();
  }
  GlOperation operation("finishing the frame");
  if (capture) capture->grab();
  swapVideoBuffers();
  checkGlErrors();
  if (time.beat >= endBeat_ - kSameBeat) reachedEnd_ = true;
  if (paused_) holding_ = true;
  // A timed frame is over when the driver has finished drawing it.
  if (benchmark_) glFinish();

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  if (benchmark_) benchmark_->add(time.beat, drawn, seconds);
  ++frames_;
  frameSeconds_ += seconds;
  if (seconds > worstFrameSeconds_) worstFrameSeconds_ = seconds;
}

void Demo::printFrameTimes() const {
  if (!reportFrameTimes_ || frames_ == 0) return;
  std::fprintf(stderr, "tinlantern: %llu frames in %.2f s, mean %.2f ms (%.1f fps), worst %.2f ms\n",
               static_cast<unsigned long long>(frames_), frameSeconds_,
               1000.0 * frameSeconds_ / frames_, frames_ / frameSeconds_,
               1000.0 * worstFrameSeconds_);
}
