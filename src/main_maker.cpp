#include "main_maker.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "main_capture.h"
#include "main_demo.h"
#include "platform/file_watch.h"
#include "util/atlas_font.h"
#include "util/camera/projection.h"
#include "util/util.h"
#include "util/error.h"
#include "util/fatal_report.h"

namespace {

// PgUp from this far into a slot goes to its own start, from nearer to the
// one before.
constexpr float kSlotStartMargin = 0.5f;

bool parseBeat(const std::string& word, float& beat) {
  char* end = nullptr;
  beat = std::strtof(word.c_str(), &end);
  return end != word.c_str() && *end == '\0' && beat > -1e9f && beat < 1e9f;  // NaN fails too
}

bool readBeat(std::istringstream& in, float& beat) {
  std::string word;
  return (in >> word) && parseBeat(word, beat);
}

bool nothingMore(std::istringstream& in) {
  std::string rest;
  return !(in >> rest);
}

// The lines of standard input, read on a thread of their own so that the
// frames never wait for them. The thread may outlive the show (a read that
// never returns), so what it shares is kept alive by both sides.
class CommandLines {
 public:
  CommandLines() : shared_(std::make_shared<Shared>()) {
    std::shared_ptr<Shared> shared = shared_;
    std::thread([shared] {
      std::string line;
      while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->lines.push_back(line);
      }
    }).detach();
  }

  bool take(std::string& line) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->lines.empty()) return false;
    line = std::move(shared_->lines.front());
    shared_->lines.pop_front();
    return true;
  }

 private:
  struct Shared {
    std::mutex mutex;
    std::deque<std::string> lines;
  };
  std::shared_ptr<Shared> shared_;
};

void answer(const std::string& line) {
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

// The overlay (H), drawn over the window after the frame's picture is taken.
class Overlay {
 public:
  Overlay() : font_(loadFont("data/common/fonts/courier_new.ttf", kFaceSize)) {}

  void draw(const char (&lines)[kOverlayLines][kOverlayLineLength]) {
    int width, height;
    drawableSize(width, height);
    Scene::resetLeftovers();
    glUseProgramObjectARB(0);
    glDisable(GL_VERTEX_PROGRAM_ARB);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    multiplyOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float line = kFaceSize * 1.3f, margin = 8.0f;
    const float top = static_cast<float>(height) - margin;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRectf(0.0f, top - line * kOverlayLines - margin, std::min(width, 560) * 1.0f, static_cast<float>(height));
    glColor4f(1.0f, 0.95f, 0.6f, 1.0f);
    for (int i = 0; i < kOverlayLines; ++i)
      font_->Render(lines[i], -1, FTPoint(margin, top - line * static_cast<float>(i + 1) + 4.0f));
    glDisable(GL_BLEND);
  }

 private:
  static constexpr unsigned kFaceSize = 15;
  std::unique_ptr<AtlasFont> font_;
};

std::string beatText(float beat) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(beat));
  return text;
}

class Maker {
 public:
  explicit Maker(Demo& demo) : demo_(demo), watch_("data") {
    if (!watch_.watching())
      std::fprintf(stderr, "tinlantern: the data/ folder cannot be watched: R or reload loads it again\n");
  }

  void run() {
    demo_.setOverlay([this] {
      if (overlay_) overlay_->draw(overlayText_);
    });
    std::vector<WindowEvent> keys;
    auto last = std::chrono::steady_clock::now();
    while (!quit_) {
      const auto now = std::chrono::steady_clock::now();
      const double seconds = std::chrono::duration<double>(now - last).count();
      last = now;
      // Smoothed over the last ten frames or so.
      frameInterval_ += (seconds - frameInterval_) * (frameInterval_ > 0.0 ? 0.1 : 1.0);
      if (overlay_) updateOverlay();
      keys.clear();
      if (!demo_.takeEvents(&keys)) break;
      for (const WindowEvent& key : keys) onKey(key);
      // A shot waits for its frame before the next command is read, so the
      // answers keep the commands' order.
      std::string line;
      while (!quit_ && shot_.empty() && lines_.take(line)) onLine(line);
      if (quit_) break;
      reloadChanged();
      wrapLoop();
      if (shot_.empty()) {
        drawFrame(nullptr);
      } else {
        takeShot();
      }
    }
  }

 private:
  void onLine(const std::string& line) {
    MakerCommand command;
    std::string error;
    if (!parseMakerCommand(line, command, error)) {
      answer("error " + error);
      return;
    }
    switch (command.kind) {
      case MakerCommand::Kind::Seek:
        demo_.seek(command.from);
        answer("ok beat " + beatText(demo_.shownTime().beat));
        break;
      case MakerCommand::Kind::Pause:
        demo_.pause();
        answer("ok paused at beat " + beatText(demo_.shownTime().beat));
        break;
      case MakerCommand::Kind::Play:
        demo_.resume();
        answer("ok playing from beat " + beatText(demo_.shownTime().beat));
        break;
      case MakerCommand::Kind::Loop:
        loop(command.from, command.to);
        answer("ok looping " + beatText(command.from) + " to " + beatText(command.to));
        break;
      case MakerCommand::Kind::LoopOff:
        looping_ = false;
        answer("ok loop off");
        break;
      case MakerCommand::Kind::Reload: {
        bool failed;
        const std::string said = demo_.reloadEverything(failed);
        tell(said);
        answer((failed ? "error " : "ok ") + said);
        break;
      }
      case MakerCommand::Kind::Shot:
        shot_ = command.file;  // answered once the next frame is drawn
        break;
      case MakerCommand::Kind::Beat: {
        const float beat = demo_.shownTime().beat;
        std::string text = "ok beat " + beatText(beat) + " scenes";
        for (const std::string& scene : scenesAt(beat)) text += " " + scene;
        answer(text);
        break;
      }
      case MakerCommand::Kind::Quit:
        answer("ok");
        quit_ = true;
        break;
    }
  }

  void onKey(const WindowEvent& key) {
    const float beat = demo_.shownTime().beat;
    switch (key.key) {
      case WindowKey::Space:
        if (demo_.paused()) {
          demo_.resume();
        } else {
          demo_.pause();
        }
        break;
      case WindowKey::L: {
        float start, end;
        if (looping_) {
          looping_ = false;
        } else if (slotAt(beat, start, end)) {
          loop(start, end);
        }
        break;
      }
      case WindowKey::R: {
        bool failed;
        tell(demo_.reloadEverything(failed));
        break;
      }
      case WindowKey::H:
        if (overlay_) {
          overlay_.reset();
        } else {
          overlay_ = std::make_unique<Overlay>();
        }
        break;
      default: {
        const int beatsPerBar = demo_.music().midi ? demo_.music().midi->timeSigNumerator : 4;
        demo_.seek(beatForKey(key.key, key.shift, beat, beatsPerBar));
        break;
      }
    }
  }

  // What changed on disk is loaded again by the parts that read it.
  void reloadChanged() {
    const std::vector<std::string> changed = watch_.changed();
    if (changed.empty()) return;
    bool failed;
    tell(demo_.reload(changed, failed));
  }

  void updateOverlay() {
    OverlayState state;
    state.beat = demo_.shownTime().beat;
    state.beatsPerBar = demo_.music().midi ? demo_.music().midi->timeSigNumerator : 4;
    state.framesPerSecond = frameInterval_ > 0.0 ? 1.0 / frameInterval_ : 0.0;
    state.frameMilliseconds = demo_.lastFrameSeconds() * 1000.0;
    state.paused = demo_.paused();
    state.looping = looping_;
    state.loopStart = loopStart_;
    state.loopEnd = loopEnd_;
    state.lastReload = lastReload_.c_str();
    overlayLines(state, overlayText_);
  }

  // What a reload did, on standard error (standard output is for answers).
  void tell(const std::string& said) {
    if (said.empty()) return;
    lastReload_ = said;
    std::fprintf(stderr, "tinlantern: %s\n", said.c_str());
    std::fflush(stderr);
  }

  // A playing show outside the new loop goes to its start at once, so the
  // next command already sees the show inside it.
  void loop(float from, float to) {
    looping_ = true;
    loopStart_ = from;
    loopEnd_ = to;
    wrapLoop();
  }

  // A playing loop goes back to its start once a frame has passed its end.
  void wrapLoop() {
    if (!looping_ || demo_.paused()) return;
    const float beat = demo_.shownTime().beat;
    if (beat >= loopEnd_ || beat < loopStart_ - 1.0f) demo_.seek(loopStart_);
  }

  // A frame that fails after a reload brings the previous version back;
  // any other failure is the show's, as without maker mode. False when the
  // frame failed.
  bool drawFrame(FrameCapture* capture) {
    FailuresThrown thrown;
    try {
      demo_.frame(capture);
      return true;
    } catch (const Failure& failure) {
      std::string said;
      if (!demo_.revertReload(failure, said)) reportFatally(failure);
      tell(said);
      return false;
    }
  }

  void takeShot() {
    const std::string file = shot_;
    shot_.clear();
    // A picture that cannot be written is an answer, not the end.
    if (FILE* probe = std::fopen(file.c_str(), "wb")) {
      std::fclose(probe);
    } else {
      answer("error cannot write " + file);
      return;
    }
    int width, height;
    drawableSize(width, height);
    FrameCapture capture(file, width, height, 60, demo_.music(), 0.0);
    if (drawFrame(&capture)) {
      capture.finish();
      answer("ok " + file + " at beat " + beatText(demo_.shownTime().beat));
    } else {
      std::remove(file.c_str());
      answer("error the frame failed: " + lastReload_);
    }
  }

  Demo& demo_;
  FileWatch watch_;
  CommandLines lines_;
  std::string lastReload_;
  bool quit_ = false;
  bool looping_ = false;
  float loopStart_ = 0.0f;
  float loopEnd_ = 0.0f;
  std::string shot_;  // a picture asked for: taken from the next frame
  std::unique_ptr<Overlay> overlay_;  // shown while there is one
  char overlayText_[kOverlayLines][kOverlayLineLength] = {};
  double frameInterval_ = 0.0;  // seconds from one frame to the next
};

}  // namespace

bool parseMakerCommand(const std::string& line, MakerCommand& command, std::string& error) {
  std::istringstream in(line);
  std::string word;
  command = MakerCommand();
  if (!(in >> word)) {
    error = "an empty line is no command";
    return false;
  }
  using Kind = MakerCommand::Kind;
  if (word == "seek") {
    command.kind = Kind::Seek;
    if (!readBeat(in, command.from) || !nothingMore(in)) {
      error = "seek wants one beat, such as: seek 200";
      return false;
    }
  } else if (word == "loop") {
    std::string first;
    in >> first;
    if (first == "off" && nothingMore(in)) {
      command.kind = Kind::LoopOff;
      return true;
    }
    command.kind = Kind::Loop;
    if (!parseBeat(first, command.from) || !readBeat(in, command.to) || !nothingMore(in) ||
        command.to <= command.from) {
      error = "loop wants a first and a later last beat, such as: loop 200 232; or: loop off";
      return false;
    }
  } else if (word == "shot") {
    command.kind = Kind::Shot;
    if (!(in >> command.file) || !nothingMore(in) || command.file.size() < 5 ||
        command.file.compare(command.file.size() - 4, 4, ".png") != 0) {
      error = "shot wants one .png file name, such as: shot frame.png";
      return false;
    }
  } else {
    const struct {
      const char* word;
      Kind kind;
    } plain[] = {{"pause", Kind::Pause}, {"play", Kind::Play}, {"beat", Kind::Beat},
                 {"reload", Kind::Reload}, {"quit", Kind::Quit}};
    bool known = false;
    for (const auto& candidate : plain)
      if (word == candidate.word) {
        command.kind = candidate.kind;
        known = true;
      }
    if (!known) {
      error = "unknown command " + word + " (seek, pause, play, loop, reload, shot, beat, quit)";
      return false;
    }
    if (!nothingMore(in)) {
      error = word + " takes nothing after it";
      return false;
    }
  }
  return true;
}

float beatForKey(WindowKey key, bool shift, float beat, int beatsPerBar) {
  const float step = shift ? static_cast<float>(beatsPerBar > 0 ? beatsPerBar : 4) : 1.0f;
  switch (key) {
    case WindowKey::Left:
      return beat - step;
    case WindowKey::Right:
      return beat + step;
    case WindowKey::Home:
      return 0.0f;
    case WindowKey::PageUp: {
      float best = 0.0f;
      for (const TimelineSlot& slot : timeline())
        if (slot.start < beat - kSlotStartMargin && slot.start > best) best = slot.start;
      return best;
    }
    case WindowKey::PageDown: {
      float best = beat;
      for (const TimelineSlot& slot : timeline())
        if (slot.start > beat + kSlotStartMargin && (best == beat || slot.start < best)) best = slot.start;
      return best;
    }
    default:
      return beat;
  }
}

bool slotAt(float beat, float& start, float& end) {
  bool found = false;
  for (const TimelineSlot& slot : timeline())
    if (slotContains(slot.start, slot.end, beat) && (!found || slot.start > start)) {
      start = slot.start;
      end = slot.end;
      found = true;
    }
  return found;
}

void overlayLines(const OverlayState& state, char (&lines)[kOverlayLines][kOverlayLineLength]) {
  const int perBar = state.beatsPerBar > 0 ? state.beatsPerBar : 4;
  const double beat = std::max(0.0f, state.beat);
  const int bar = static_cast<int>(beat / perBar);
  std::snprintf(lines[0], kOverlayLineLength, "beat %.2f  bar %d beat %.2f", beat, bar + 1,
                beat - bar * perBar + 1.0);
  std::snprintf(lines[1], kOverlayLineLength, "scenes:");
  for (const TimelineSlot& slot : timeline())
    if (slotContains(slot.start, slot.end, state.beat)) {
      const size_t used = std::strlen(lines[1]);
      std::snprintf(lines[1] + used, kOverlayLineLength - used, " %s", slot.scene);
    }
  std::snprintf(lines[2], kOverlayLineLength, "%.1f fps  %.1f ms a frame", state.framesPerSecond,
                state.frameMilliseconds);
  if (state.looping) {
    std::snprintf(lines[3], kOverlayLineLength, "%s, looping %.2f to %.2f", state.paused ? "paused" : "playing",
                  static_cast<double>(state.loopStart), static_cast<double>(state.loopEnd));
  } else {
    std::snprintf(lines[3], kOverlayLineLength, "%s", state.paused ? "paused" : "playing");
  }
  std::snprintf(lines[4], kOverlayLineLength, "last reload: %s",
                state.lastReload && *state.lastReload ? state.lastReload : "none yet");
}

std::vector<std::string> scenesAt(float beat) {
  std::vector<std::string> names;
  for (const TimelineSlot& slot : timeline())
    if (slotContains(slot.start, slot.end, beat)) names.push_back(slot.scene);
  return names;
}

void runMaker(Demo& demo) { Maker(demo).run(); }
