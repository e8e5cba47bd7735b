#pragma once
// Demo: the show. Owns the shared resources and the timeline of scenes,
// starts the music and runs the main loop that draws, every frame, each
// scene whose slot contains the show time.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "main_benchmark.h"
#include "main_capture.h"
#include "main_shaders.h"
#include "platform/video.h"
#include "scenes/scene.h"
#include "scenes/scene_kit.h"
#include "util/ascii/asciiengine.h"
#include "util/fbo/fbo.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/music/music.h"

// The show's music: the sync configuration names the stream and the MIDI data.
constexpr const char* kSyncConfiguration = "data/common/music/sp10-invite.xml";

// One row of the timeline (src/timeline.def): a scene, its slot in beats,
// closed at both ends, and the lengths of its own fades in beats.
struct TimelineSlot {
  const char* scene;
  float start;
  float end;
  double fadeIn;
  double fadeOut;
  Scene* (*create)();

  // The beats where the fades meet the slot. Worked out in double
  // precision, so that they are the floats of the decimals a person would
  // write there (450 - 0.2 is 449.8f, not the float just above it).
  float fadeInEnd() const { return static_cast<float>(double{start} + fadeIn); }
  float fadeOutStart() const { return static_cast<float>(double{end} - fadeOut); }
};

// The timeline in drawing order. Scenes sharing a slot, or meeting at a
// boundary, are all drawn, in this order.
const std::vector<TimelineSlot>& timeline();
// The row of the scene class of that name; fatal when there is none.
const TimelineSlot& timelineSlot(const char* scene);
// Puts the scene into the slot: its start, end and fade beats.
void placeInSlot(Scene& scene, const TimelineSlot& slot);

// The beats the show is drawn at, unseen, while it loads (see Demo::warmUp):
// every slot's first beat, in order, each once. A scene draws what first
// shows later in its slot unseen in its frames before (see UnseenDraws), so
// its first frame meets every program and state it draws with.
std::vector<float> warmUpBeats();

// The show clock as the frame sees it, read once (after the music's update).
FrameTime readFrameTime(Music& music);

// The shared render target is seen only on the assembled robot's screen,
// which covers at most a fifth of the picture's width and a quarter of its
// height: it is drawn at half the window's size each way, a quarter of the
// pixels, still finer than the screen shows it. The scenes that draw into it
// lay out their picture in the window's units, so it only scales.
inline int sharedTargetSide(int windowSide) { return windowSide / 2 > 0 ? windowSide / 2 : 1; }

inline bool slotContains(float start, float end, float time) {
  return start <= time && time <= end;
}

// The data file's files in about the order the loading asks for them: the
// loading screen's logo, the shared ones, the effects', then each scene's
// folder in timeline order. A file that a scene reads from another scene's
// folder is there again after the reader's own: the cube map's faces (the
// train's sky, the metaballs' environment), the plywood floor (the train's
// and the clown's).
std::vector<std::string> filesInLoadingOrder(const DataIndex& index);

class Demo {
 public:
  // Builds the music and every scene of the timeline: all loading happens here.
  Demo();
  // Releases every scene.
  ~Demo();

  // The drawing size changed (and once right after construction).
  void resize(int width, int height);
  // Behind the loading screen, after the resize: every scene is stepped
  // once and drawn unseen (every draw call made, no pixel reached) at the
  // first beat of its slot, as a run's first frame there draws it; then
  // every scene is rewound.
  // Drivers compile shader code for each new combination of program, state
  // and vertex layout on its first draw; a software renderer takes up to a
  // second for a scene's first frame. That work now falls in the loading,
  // whose bar counts each beat drawn, and the render targets have their
  // size before the first frame.
  void warmUp();
  // Starts the music (at `startBeat`) and returns once the show clock has
  // reached beat 0. Random numbers are seeded from the clock, or with a
  // fixed seed for pictures that must come out the same every time.
  //
  // A later start is caught up to first: the frames of a run from the
  // beginning at `fps` frames a second run with the scenes' step alone (no
  // drawing, see scene.h), and the show goes on from the first of those
  // frames at or after `startBeat`, in exactly the state a run from the
  // beginning has there.
  void startShow(float startBeat = 0.0f, bool fixedSeed = false, int fps = 60);
  // The show (or the capture) ends after the frame at this beat: the first
  // frame at or after it. A run that has ended can go on with a later end.
  void endAfter(float beat) {
    endBeat_ = beat;
    reachedEnd_ = false;
  }
  // The main loop; returns when the show ends.
  void run();
  // The main loop offline: after every frame the capture takes the picture
  // and the music's clock moves on by exactly 1 / fps seconds. With
  // `singleFrame`, one frame only. True when it ran to its end (the music's,
  // or the single frame); false when it was stopped before (Escape, closing
  // the window, a signal), and the capture was abandoned.
  bool runOffline(FrameCapture& capture, int fps, bool singleFrame);
  // The timedemo: the main loop offline as above without pictures, each
  // frame waited for until the driver has finished it and recorded. True
  // when it ran to its end.
  bool runBenchmark(Benchmark& benchmark, int fps);

  const Music& music() const { return *shared_.music; }

  // Frame times on standard error when the show ends (for batch runs).
  void reportFrameTimes(bool on) { reportFrameTimes_ = on; }

  // Maker mode (main_maker.h) drives the show with these.
  //
  // The end of the music holds the show there instead of ending it.
  void holdAtTheEnd() { holdAtTheEnd_ = true; }
  // Goes to `beat` (kept inside the music) exactly as --frame shows it:
  // every scene rewound, the frames from the beginning caught up with again
  // (startShow's frame rate, the fixed seed), the music put there. The next
  // frame steps and draws there; a paused show then holds that frame.
  void seek(float beat);
  // Holds the music and the picture: frames redraw the last one without a
  // step. Resume goes on from there.
  void pause();
  void resume();
  bool paused() const { return paused_; }
  // The time of the frame drawn last.
  const FrameTime& shownTime() const { return shownTime_; }
  // The music's end in beats.
  float lastBeat() const;
  // Loads again what read any of the `changed` files: the text engine's
  // files reload everything; the shader library's files the library's
  // programs, in place; the music's files (its MIDI file, its sync
  // configuration, its stream) the music and the scenes that read its
  // notes; any other file, a font among them, the scenes that read it.
  // What fails to load keeps its previous version, its failure on standard
  // error. Then the show seeks to the beat it shows, so the new parts take
  // their state. Answers with a line saying what was reloaded or kept, or
  // an empty one when nothing read those files. `failed` tells whether
  // anything was kept.
  std::string reload(const std::vector<std::string>& changed, bool& failed);
  std::string reloadEverything(bool& failed);
  // A reload's previous versions stay until the next reload. A failure in a
  // frame drawn since (a uniform the new shader lost) brings them back:
  // true, with the failure on standard error and the line saying so in
  // `said`; false when there was nothing to bring back.
  bool revertReload(const Failure& failure, std::string& said);
  // Drawn over every frame after its picture is taken (no shot or capture
  // shows it), before the swap; none when empty.
  void setOverlay(std::function<void()> draw) { overlay_ = std::move(draw); }
  // How long the last frame took to draw, in seconds.
  double lastFrameSeconds() const { return lastFrameSeconds_; }
  // Takes the pending window events, and the keys maker mode answers into
  // `keys` if given; false once the show must end.
  bool takeEvents(std::vector<WindowEvent>* keys = nullptr);
  // Draws one frame; with a capture, it takes the picture before the swap.
  void frame(FrameCapture* capture = nullptr);

 private:
  // What the scenes share that comes from the data files.
  struct Shared {
    std::unique_ptr<ShaderLibrary> shaders;
    std::unique_ptr<AsciiEngine> ascii;
    std::unique_ptr<FontLibrary> fonts;
    std::unique_ptr<Music> music;
  };
  // Each notes the files it reads into `files`; the shader library's go to
  // `libraryFiles`, the music's to `musicFiles`. `playing`: the music
  // playing now, whose stream a reload shares.
  Shared loadShared(std::vector<std::string>& files, std::vector<std::string>& libraryFiles,
                    std::vector<std::string>& musicFiles, const Music* playing = nullptr);
  // The music made anew where a file of it changed (see reload).
  std::string reloadMusic(bool& failed);
  std::unique_ptr<Scene> loadScene(const TimelineSlot& slot, const Shared& shared,
                                   std::vector<std::string>& files);
  // The failure on standard error, and the line saying which version is kept.
  std::string keep(const char* part, const std::string& loadedAt, const Failure& failure);
  bool runFixedRate(FrameCapture* capture, int fps, bool singleFrame);
  // Every scene whose slot holds the time takes its step, in timeline order.
  void stepScenes(const FrameTime& time);
  // Every scene whose slot holds the time draws (stepped first when
  // `stepping`; `unseen`: no pixel is reached), of those `among` names (bit
  // i for timeline scene i); returns the scenes drawn, bit i likewise.
  uint32_t drawScenes(const FrameTime& time, bool stepping, bool unseen, uint32_t among = ~0u);
  void catchUp(float beat, int fps);
  void printFrameTimes() const;

  std::vector<std::unique_ptr<Scene>> scenes_;
  int width_;
  int height_;
  std::unique_ptr<FBO> renderTarget_;  // 512 x 512 at first, then half the window's size
  Shared shared_;
  std::vector<std::string> sharedFiles_;               // what shared_ read, the two below aside
  std::vector<std::string> libraryFiles_;              // what the shader library read
  std::vector<std::string> musicFiles_;                // what the music read
  std::vector<std::vector<std::string>> sceneFiles_;   // what each scene read
  std::string sharedLoadedAt_;                         // when, as "12:03:44"
  std::string musicLoadedAt_;
  std::string libraryLoadedAt_;
  std::vector<std::string> sceneLoadedAt_;
  // What the last reload replaced (see revertReload), or everything a
  // reload made before it takes the Demo's place. The scenes go before what
  // they share.
  struct Replaced {
    bool everything = false;
    // Everything: the shared parts and their records.
    Shared shared;
    std::vector<std::string> sharedFiles;
    std::vector<std::string> musicFiles;
    std::vector<std::string> libraryFiles;
    std::string sharedLoadedAt;
    std::string musicLoadedAt;
    // A reload of the shader library alone: the library holding the
    // programs it had (swapped back on revert).
    std::unique_ptr<ShaderLibrary> library;
    std::string libraryLoadedAt;
    // Everything: all the scenes; else the ones replaced, at `indices`.
    std::vector<size_t> indices;
    std::vector<std::unique_ptr<Scene>> scenes;
    std::vector<std::vector<std::string>> sceneFiles;
    std::vector<std::string> sceneLoadedAt;
    ~Replaced() {
      for (auto& scene : scenes) scene->release();
      scenes.clear();
    }
  };
  std::unique_ptr<Replaced> replaced_;
  // Puts the replaced scenes back in place, or takes them out (swap).
  void swapReplaced(Replaced& replaced);
  // Exchanges every part and its records with `other` (a reload of
  // everything, and its revert); the music that goes lets the sound device go.
  void swapEverything(Replaced& other);
  // The music, made anew or held, playing where the show stands (held if
  // paused). The caller seeks.
  void startMusicWhereItStood();

  bool ending_ = false;
  bool holdAtTheEnd_ = false;
  std::function<void()> overlay_;
  double lastFrameSeconds_ = 0.0;
  bool paused_ = false;
  bool holding_ = false;  // frames redraw shownTime_ without stepping
  FrameTime shownTime_;
  int catchUpFps_ = 60;
  bool offline_ = false;       // nothing ends the process at once
  bool stopRequested_ = false; // by Escape, the window or a signal (not the music's end)
  bool musicEnded_ = false;
  float endBeat_ = 1e30f;
  bool reachedEnd_ = false;  // the frame at endBeat_ was drawn
  bool reportFrameTimes_ = false;
  Benchmark* benchmark_ = nullptr;
  uint64_t frames_ = 0;
  double frameSeconds_ = 0.0;
  double worstFrameSeconds_ = 0.0;
};
