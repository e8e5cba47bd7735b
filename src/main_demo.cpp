#include "main_demo.h"

#include <GL/glew.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ticks.h"
#include "util/gl_debug.h"
#include "platform/video.h"
#include "scenes/plywood_floor.h"
#include "scenes/scene_clown/scene_clown.h"
#include "scenes/scene_codescroller/scene_codescroller.h"
#include "scenes/scene_credits/scene_credits.h"
#include "scenes/scene_dadezaruv/scene_dadezaruv.h"
#include "scenes/scene_endtext/scene_endtext.h"
#include "scenes/scene_metaballmarch/scene_metaballmarch.h"
#include "scenes/scene_tiles/scene_tiles.h"
#include "scenes/scene_train/scene_train.h"
#include "util/data/data.h"
#include "util/data/loadingscreen.h"
#include "util/error.h"
#include "util/prefetch.h"
#include "util/texture/texturecube.h"
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

// What a scene reads from another scene's folder. Listed again after the
// scene's own files, it is decoded ahead once for each scene that reads it
// (each decoded copy is taken once).
std::vector<const char*> filesBorrowedBy(const char* scene) {
  if (std::strcmp(scene, "Train") == 0)  // its sky: the metaballs' cube map
    return std::vector<const char*>(std::begin(TextureCube::kFaceFiles), std::end(TextureCube::kFaceFiles));
  if (std::strcmp(scene, "Clown") == 0) return {kPlywoodFloorTexture};  // the train's floor
  return {};
}

}  // namespace

std::vector<std::string> filesInLoadingOrder(const DataIndex& index) {
  std::vector<std::string> paths = {kLoadingLogoPath};
  struct Folder {
    std::string path;
    const char* scene;
  };
  std::vector<Folder> folders = {{"data/common/", nullptr}, {"data/effects/", nullptr}};
  for (const TimelineSlot& slot : timeline()) {
    std::string folder = "data/";
    for (const char* c = slot.scene; *c; ++c)
      folder += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    folders.push_back({folder + "/", slot.scene});
  }
  const auto inIndex = [&index](const char* path) {
    for (const auto& entry : index)
      if (entry->name == path) return true;
    return false;
  };
  for (const Folder& folder : folders) {
    for (const auto& entry : index)
      if (entry->name.compare(0, folder.path.size(), folder.path) == 0 && entry->name != paths[0])
        paths.push_back(entry->name);
    if (folder.scene)
      for (const char* borrowed : filesBorrowedBy(folder.scene))
        if (inIndex(borrowed)) paths.push_back(borrowed);
  }
  return paths;
}

namespace {

// The time of day, for saying which version of a part is shown.
std::string timeOfDay() {
  const std::time_t now = std::time(nullptr);
  char text[16] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%H:%M:%S", local);
  return text;
}

template <typename T>
bool contains(const std::vector<T>& values, const T& value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

Demo::Demo() : width_(videoSettings.width), height_(videoSettings.height) {
  startPrefetch(filesInLoadingOrder(dataIndex));  // unless the archive's reading started it
  {
    GlOperation operation("making the shared render target");
    renderTarget_ = std::make_unique<FBO>(512, 512, 1);
  }
  shared_ = loadShared(sharedFiles_, libraryFiles_, musicFiles_);
  sharedLoadedAt_ = timeOfDay();
  musicLoadedAt_ = libraryLoadedAt_ = sharedLoadedAt_;
  for (const TimelineSlot& slot : timeline()) {
    sceneFiles_.emplace_back();
    scenes_.push_back(loadScene(slot, shared_, sceneFiles_.back()));
    sceneLoadedAt_.push_back(sharedLoadedAt_);
  }
  stopPrefetch();
}

Demo::Shared Demo::loadShared(std::vector<std::string>& files, std::vector<std::string>& libraryFiles,
                              std::vector<std::string>& musicFiles, const Music* playing) {
  RecordFileUse record(files);
  Shared shared;
  {
    RecordFileUse recordLibrary(libraryFiles);
    GlOperation operation("loading the shader library");
    shared.shaders = std::make_unique<ShaderLibrary>();
  }
  {
    GlOperation operation("loading the text engine");
    shared.ascii = std::make_unique<AsciiEngine>();
    shared.ascii->screenWidth = width_;
    shared.ascii->screenHeight = height_;
  }
  shared.fonts = std::make_unique<FontLibrary>();
  {
    RecordFileUse recordMusic(musicFiles);
    shared.music = std::make_unique<Music>(kSyncConfiguration, playing);
  }
  checkGlErrors();
  return shared;
}

std::unique_ptr<Scene> Demo::loadScene(const TimelineSlot& slot, const Shared& shared,
                                       std::vector<std::string>& files) {
  RecordFileUse record(files);
  GlOperation operation("loading", slot.scene);
  std::unique_ptr<Scene> scene(slot.create());
  placeInSlot(*scene, slot);
  scene->music = shared.music.get();
  scene->shaders = shared.shaders.get();
  scene->renderTarget = renderTarget_.get();
  scene->ascii = shared.ascii.get();
  scene->fonts = shared.fonts.get();
  scene->load();
  checkGlErrors();
  return scene;
}

std::string Demo::keep(const char* part, const std::string& loadedAt, const Failure& failure) {
  writeFailure(failure, stderr);
  return std::string("kept the previous ") + part + " (loaded at " + loadedAt + ")";
}

std::string Demo::reload(const std::vector<std::string>& changed, bool& failed) {
  failed = false;
  std::vector<size_t> readers;
  bool musicChanged = false, libraryChanged = false;
  for (const std::string& path : changed) {
    bool readByAScene = false;
    for (size_t i = 0; i < sceneFiles_.size(); ++i) {
      if (!contains(sceneFiles_[i], path)) continue;
      readByAScene = true;
      if (!contains(readers, i)) readers.push_back(i);
    }
    // The text engine is loaded again with everything. A font is made
    // again for the scenes that read it.
    if (contains(sharedFiles_, path)) return reloadEverything(failed);
    if (readByAScene) shared_.fonts->forget(path);
    if (contains(musicFiles_, path)) musicChanged = true;
    if (contains(libraryFiles_, path)) libraryChanged = true;
  }
  std::string reloaded, kept;
  auto say = [&](std::string& list, const std::string& what, const char* first, const char* next) {
    list += (list.empty() ? first : next) + what;
  };
  if (musicChanged) {
    const std::string said = reloadMusic(failed);
    if (failed) return said;  // the scenes keep the notes they have
    reloaded = said;
  }
  if (!libraryChanged && readers.empty()) {
    if (musicChanged) seek(shownTime_.beat);
    return reloaded;
  }
  replaced_.reset();
  auto replaced = std::make_unique<Replaced>();
  if (libraryChanged) {
    // The programs are made anew and swapped into the library's own, which
    // the models' materials point at: no scene needs loading again.
    std::vector<std::string> files;
    try {
      FailuresThrown thrown;
      RecordFileUse record(files);
      GlOperation operation("loading the shader library again");
      replaced->library = std::make_unique<ShaderLibrary>();
      shared_.shaders->swapPrograms(*replaced->library);
      libraryFiles_ = std::move(files);
      replaced->libraryLoadedAt = libraryLoadedAt_;
      libraryLoadedAt_ = timeOfDay();
      say(reloaded, "the shader library", "reloaded ", ", ");
    } catch (const Failure& failure) {
      failed = true;
      replaced->library.reset();
      say(kept, keep("shader library", libraryLoadedAt_, failure), "", "; ");
    }
  }
  std::sort(readers.begin(), readers.end());
  for (size_t i : readers) {
    const char* name = timeline()[i].scene;
    std::vector<std::string> files;
    try {
      FailuresThrown thrown;
      replaced->scenes.push_back(loadScene(timeline()[i], shared_, files));
      replaced->indices.push_back(i);
      replaced->sceneFiles.push_back(std::move(files));
      replaced->sceneLoadedAt.push_back(timeOfDay());
      say(reloaded, name, "reloaded ", ", ");
    } catch (const Failure& failure) {
      failed = true;
      say(kept, keep(name, sceneLoadedAt_[i], failure), "", "; ");
    }
  }
  // The new scenes in, the ones they replace kept aside.
  swapReplaced(*replaced);
  if (!replaced->indices.empty() || replaced->library) replaced_ = std::move(replaced);
  seek(shownTime_.beat);
  return reloaded + (reloaded.empty() || kept.empty() ? "" : "; ") + kept;
}

std::string Demo::reloadMusic(bool& failed) {
  std::vector<std::string> files;
  std::unique_ptr<Music> music;
  try {
    FailuresThrown thrown;
    RecordFileUse record(files);
    music = std::make_unique<Music>(kSyncConfiguration, shared_.music.get());
  } catch (const Failure& failure) {
    failed = true;
    return keep("music", musicLoadedAt_, failure);
  }
  // The scenes read the music only while they load; a reload's previous
  // versions, which may point at this music, are given up.
  replaced_.reset();
  shared_.music->pause();
  if (!music->sharesStreamWith(*shared_.music)) shared_.music->stop();  // the device is the new one's
  for (auto& scene : scenes_) scene->music = music.get();
  shared_.music = std::move(music);
  musicFiles_ = std::move(files);
  musicLoadedAt_ = timeOfDay();
  startMusicWhereItStood();
  return "reloaded the music";  // the caller seeks
}

void Demo::swapReplaced(Replaced& replaced) {
  for (size_t k = 0; k < replaced.indices.size(); ++k) {
    const size_t i = replaced.indices[k];
    std::swap(scenes_[i], replaced.scenes[k]);
    std::swap(sceneFiles_[i], replaced.sceneFiles[k]);
    std::swap(sceneLoadedAt_[i], replaced.sceneLoadedAt[k]);
  }
}

std::string Demo::reloadEverything(bool& failed) {
  failed = false;
  auto fresh = std::make_unique<Replaced>();
  fresh->everything = true;
  fresh->sceneFiles.resize(timeline().size());
  try {
    FailuresThrown thrown;
    fresh->shared = loadShared(fresh->sharedFiles, fresh->libraryFiles, fresh->musicFiles, shared_.music.get());
    for (size_t i = 0; i < timeline().size(); ++i)
      fresh->scenes.push_back(loadScene(timeline()[i], fresh->shared, fresh->sceneFiles[i]));
  } catch (const Failure& failure) {
    failed = true;
    return keep("show", sharedLoadedAt_, failure);  // what was made goes with `fresh`
  }
  fresh->sharedLoadedAt = timeOfDay();
  fresh->musicLoadedAt = fresh->libraryLoadedAt = fresh->sharedLoadedAt;
  fresh->sceneLoadedAt.assign(fresh->scenes.size(), fresh->sharedLoadedAt);
  // The old parts are kept aside (see revertReload); the new music plays
  // where the old one stood.
  replaced_.reset();
  swapEverything(*fresh);
  replaced_ = std::move(fresh);
  startMusicWhereItStood();
  seek(shownTime_.beat);
  return "reloaded everything";
}

void Demo::swapEverything(Replaced& other) {
  shared_.music->pause();
  if (!other.shared.music->sharesStreamWith(*shared_.music)) shared_.music->stop();  // the device is the other's
  std::swap(scenes_, other.scenes);
  std::swap(shared_, other.shared);
  std::swap(sharedFiles_, other.sharedFiles);
  std::swap(libraryFiles_, other.libraryFiles);
  std::swap(musicFiles_, other.musicFiles);
  std::swap(sceneFiles_, other.sceneFiles);
  std::swap(sharedLoadedAt_, other.sharedLoadedAt);
  std::swap(musicLoadedAt_, other.musicLoadedAt);
  std::swap(libraryLoadedAt_, other.libraryLoadedAt);
  std::swap(sceneLoadedAt_, other.sceneLoadedAt);
}

void Demo::startMusicWhereItStood() {
  Music& music = *shared_.music;
  music.resume();  // music that played before goes on; new music starts
  if (!music.isPlaying()) {
    music.setVolume(1.0f);
    music.resetSteps();
    music.start();
  }
  if (paused_) music.pause();
}

bool Demo::revertReload(const Failure& failure, std::string& said) {
  if (!replaced_) return false;
  writeFailure(failure, stderr);
  std::unique_ptr<Replaced> back = std::move(replaced_);
  if (back->everything) {
    // The new parts go, the scenes first (and with them the new music's
    // device); the old music plays on.
    swapEverything(*back);
    back.reset();
    said = "drawing the reloaded show failed: back to the one loaded at " + sharedLoadedAt_;
    startMusicWhereItStood();
  } else {
    swapReplaced(*back);
    said = "drawing the reloaded";
    if (back->library) {
      shared_.shaders->swapPrograms(*back->library);
      libraryLoadedAt_ = back->libraryLoadedAt;
      said += " shader library";
    }
    for (size_t i : back->indices) said += std::string(" ") + timeline()[i].scene;
    said += " failed: back to the previous version";
  }
  seek(shownTime_.beat);
  return true;
}

Demo::~Demo() {
  for (auto& scene : scenes_) scene->release();
}

void Demo::resize(int width, int height) {
  GlOperation operation("resizing the shared render target");
  width_ = width;
  height_ = height;
  renderTarget_->resize(sharedTargetSide(width), sharedTargetSide(height));
  shared_.ascii->screenWidth = width;
  shared_.ascii->screenHeight = height;
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
  shared_.music->setVolume(1.0f);
  if (startBeat > 0.0f) {
    catchUp(startBeat, fps);
    shared_.music->start();
  } else {
    shared_.music->play();
  }
  while (shared_.music->time() < 0.0f) {
  }
}

void Demo::catchUp(float beat, int fps) {
  auto begun = std::chrono::steady_clock::now();
  shared_.music->beginCatchUp();
  uint64_t frames = 0;
  for (; shared_.music->time() < beat - kSameBeat; ++frames) {
    shared_.music->update();
    stepScenes(readFrameTime(*shared_.music));
    shared_.music->advance(1.0 / fps);
  }
  shared_.music->endCatchUp();
  if (reportFrameTimes_)
    std::fprintf(stderr, "tinlantern: caught up to beat %.3f in %llu frames at %i fps in %.3f s\n",
                 static_cast<double>(shared_.music->time()), static_cast<unsigned long long>(frames), fps,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count());
}

void Demo::seek(float beat) {
  shared_.music->pause();  // nothing heard while the show catches up
  for (auto& scene : scenes_) scene->rewind();
  std::srand(1u);
  Music::resetClock();
  catchUp(std::max(0.0f, std::min(beat, lastBeat())), catchUpFps_);
  // Until the next frame is drawn, the time it will show.
  shownTime_ = FrameTime();
  shownTime_.beat = shared_.music->time();
  holding_ = false;
  if (!paused_) shared_.music->resume();
}

void Demo::pause() {
  if (paused_) return;
  paused_ = true;
  shared_.music->pause();
  holding_ = frames_ > 0;
}

void Demo::resume() {
  if (!paused_) return;
  paused_ = false;
  holding_ = false;
  shared_.music->resume();
}

float Demo::lastBeat() const {
  return static_cast<float>(shared_.music->durationSeconds() / 60.0 * shared_.music->tempo + shared_.music->beatOffset);
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
    shared_.music->advance(1.0 / fps);
  }
  printFrameTimes();
  return !stopRequested_;
}

void Demo::frame(FrameCapture* capture) {
  auto begun = std::chrono::steady_clock::now();

  // A held frame is drawn again at its time, without a step.
  const bool stepping = !holding_;
  if (stepping) {
    shared_.music->update();
    shownTime_ = readFrameTime(*shared_.music);
    if (!shared_.music->isPlaying()) {
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
  const uint32_t drawn = drawScenes(time, stepping, false);
  GlOperation operation("finishing the frame");
  if (capture) capture->grab();
  if (overlay_) {
    GlOperation overlay("the maker's overlay");
    overlay_();
  }
  swapVideoBuffers();
  checkGlErrors();
  if (time.beat >= endBeat_ - kSameBeat) reachedEnd_ = true;
  if (paused_) holding_ = true;
  // A timed frame is over when the driver has finished drawing it.
  if (benchmark_) glFinish();

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  if (benchmark_) benchmark_->add(time.beat, drawn, seconds);
  ++frames_;
  lastFrameSeconds_ = seconds;
  frameSeconds_ += seconds;
  if (seconds > worstFrameSeconds_) worstFrameSeconds_ = seconds;
}

uint32_t Demo::drawScenes(const FrameTime& time, bool stepping, bool unseen, uint32_t among) {
  uint32_t drawn = 0;
  for (size_t i = 0; i < scenes_.size(); ++i) {
    Scene* scene = scenes_[i].get();
    if (!(among >> i & 1u) || !slotContains(scene->start, scene->end, time.beat)) continue;
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
    if (unseen) {
      UnseenDraws nothingShows;
      scene->draw(sceneTime);
    } else {
      scene->draw(sceneTime);
    }
    checkGlErrors();
  }
  return drawn;
}

std::vector<float> warmUpBeats() {
  std::vector<float> beats;
  for (const TimelineSlot& slot : timeline()) beats.push_back(slot.start);
  std::sort(beats.begin(), beats.end());
  beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
  return beats;
}

void Demo::warmUp() {
  const std::vector<float> beats = warmUpBeats();
  expectLoadingSteps(static_cast<uint32_t>(beats.size()));
  FrameTime time;
  time.beatStep = static_cast<float>(shared_.music->tempo / 60.0 / catchUpFps_);
  for (float beat : beats) {
    time.beat = beat;
    // The scenes whose slots begin here, each stepped once from the state
    // load left it in, as a run's first frame in the slot steps it.
    uint32_t starting = 0;
    for (size_t i = 0; i < scenes_.size(); ++i)
      if (scenes_[i]->start == beat) starting |= 1u << i;
    GlOperation operation("drawing the show unseen");
    drawScenes(time, true, true, starting);
    loadingStepDone();
  }
  for (auto& scene : scenes_) scene->rewind();
  checkGlErrors();
}

void Demo::printFrameTimes() const {
  if (!reportFrameTimes_ || frames_ == 0) return;
  std::fprintf(stderr, "tinlantern: %llu frames in %.2f s, mean %.2f ms (%.1f fps), worst %.2f ms\n",
               static_cast<unsigned long long>(frames_), frameSeconds_,
               1000.0 * frameSeconds_ / frames_, frames_ / frameSeconds_,
               1000.0 * worstFrameSeconds_);
}
