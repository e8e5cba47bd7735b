// The music: the audio layer over a generated Ogg Vorbis and MP3 stream,
// the show clock with its wrap correction and step windows, note states,
// and the sync configuration that attaches modulators to MIDI tracks.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/messagebox.h"
#include "tone.h"
#include "util/data/data.h"
#include "util/music/audio.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"
#include "util/music/music.h"

namespace {

using ::testing::ExitedWithCode;
using Bytes = std::vector<uint8_t>;

void addEntry(const std::string& name, const Bytes& contents) {
  auto entry = std::make_unique<DataEntry>();
  entry->name = name;
  entry->data = contents;
  dataIndex.push_back(std::move(entry));
}

void addEntry(const std::string& name, const std::string& text) {
  addEntry(name, Bytes(text.begin(), text.end()));
}

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setMessageBoxesEnabled(false);
    dataIndex.clear();
    dataMode = kDataReading;
    setAudioOffline(true);
    Music::resetClock();
  }
  void TearDown() override {
    dataIndex.clear();
    dataMode = kDataPlain;
    setAudioOffline(false);
  }
};

TEST_F(MusicTest, DecodesOggAndMp3WholeAt16BitStereo) {
  Bytes ogg = encodedTone(1.5, "ogg");
  auto stream = AudioStream::open(ogg.data(), ogg.size());
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->rate(), 44100);
  EXPECT_EQ(stream->lengthBytes(), 66150u * 4);
  EXPECT_DOUBLE_EQ(stream->bytesToSeconds(stream->lengthBytes()), 1.5);

  Bytes mp3 = encodedTone(1.5, "mp3");
  auto decoded = AudioStream::open(mp3.data(), mp3.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->rate(), 44100);
  // MP3 frames pad the start and the end a little.
  EXPECT_NEAR(decoded->bytesToSeconds(decoded->lengthBytes()), 1.5, 0.1);

  Bytes junk(5000, 0x55);
  EXPECT_FALSE(AudioStream::open(junk.data(), junk.size()));
  Bytes brokenOgg(ogg.begin(), ogg.begin() + 60);
  EXPECT_FALSE(AudioStream::open(brokenOgg.data(), brokenOgg.size()));
}

TEST_F(MusicTest, AnOggStreamPlaysFromTheBytesItWasGivenAndKeepsThem) {
  auto ogg = std::make_shared<const Bytes>(encodedTone(1.0, "ogg"));
  std::weak_ptr<const Bytes> given = ogg;
  auto stream = AudioStream::open(std::move(ogg));
  ASSERT_TRUE(stream);
  EXPECT_FALSE(given.expired()) << "the stream holds the only reference";
  EXPECT_EQ(stream->pcm().size(), 44100u * 2);  // decoded from them, whole
  stream.reset();
  EXPECT_TRUE(given.expired()) << "and lets go of it at the end";

  auto mp3 = std::make_shared<const Bytes>(encodedTone(1.0, "mp3"));
  given = mp3;
  auto decoded = AudioStream::open(std::move(mp3));
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(given.expired()) << "an MP3 stream is decoded at once and keeps nothing";
  EXPECT_FALSE(AudioStream::open(std::shared_ptr<const Bytes>()));
}

TEST_F(MusicTest, OfflineClockIsExact) {
  addEntry("data/tone.ogg", encodedTone(2.0, "ogg"));
  Music music("data/tone.ogg");
  EXPECT_EQ(music.tempo, 999.0f);  // no MIDI data
  EXPECT_EQ(music.lengthSeconds, 2);
  music.tempo = 120.0f;
  music.play();
  EXPECT_FLOAT_EQ(music.time(), 0.1f);
  // Frame k at 30 fps shows beat k / 30 x 120 / 60 + 0.1.
  for (int k = 1; k <= 45; ++k) {
    music.advance(1.0 / 30);
    EXPECT_FLOAT_EQ(music.time(), static_cast<float>(k / 30.0 * 2.0 + 0.1)) << k;
  }
  EXPECT_TRUE(music.isPlaying());
  music.advance(0.6);  // past the end: the stream stops
  EXPECT_FALSE(music.isPlaying());
}

TEST_F(MusicTest, StepWindowsAverageTheLastTenUpdates) {
  addEntry("data/tone.ogg", encodedTone(2.0, "ogg"));
  Music music("data/tone.ogg");
  music.tempo = 60.0f;  // one beat a second
  music.play();
  for (float entry : music.beatHistory) EXPECT_EQ(entry, 0.1f);
  music.advance(0.5);
  music.update();
  EXPECT_FLOAT_EQ(music.beatStep, (0.6f - 0.1f) * 0.1f);  // the first update after play
  EXPECT_EQ(music.byteStep, 22050 * 4 / 10);
  for (int i = 0; i < 12; ++i) {
    music.advance(0.02);
    music.update();
  }
  EXPECT_NEAR(music.beatStep, 0.02f, 1e-5);  // settled to the true advance per frame
  EXPECT_EQ(music.byteStep, 882 * 4);
}

TEST_F(MusicTest, ClockCorrectsARestartButPassesSmallStepsBack) {
  addEntry("data/tone.ogg", encodedTone(3.0, "ogg"));
  Music music("data/tone.ogg");
  music.tempo = 6000.0f;  // 100 beats a second
  music.play();
  music.seekToBeat(200.1f);
  EXPECT_NEAR(music.time(), 200.1f, 1e-3);
  music.seekToBeat(199.6f);  // half a beat back: passed through
  EXPECT_NEAR(music.time(), 199.6f, 1e-3);
  music.seekToBeat(0.1f);  // the stream starts again
  EXPECT_NEAR(music.time(), 199.6f + 0.1f, 1e-3);
  music.advance(0.05);
  EXPECT_NEAR(music.time(), 199.6f + 5.1f, 1e-3);
}

TEST_F(MusicTest, RealTimePositionRunsAtTheStreamsRate) {
  setAudioOffline(false);  // SDL's dummy driver, set by the test environment
  addEntry("data/tone.ogg", encodedTone(3.0, "ogg"));
  Music music("data/tone.ogg");
  music.tempo = 60.0f;
  music.play();
  auto begun = std::chrono::steady_clock::now();
  float first = music.time();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  float beats = music.time() - first;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  EXPECT_NEAR(beats, seconds, 0.1) << "the position follows the wall clock within a buffer or two";
  float samples[1024];
  music.waveform(samples);
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.3f);  // the tone is playing
  EXPECT_LT(peak, 0.4f);
}

TEST_F(MusicTest, DeviceSearchOnItsOwnThreadFallsBackToTheDummyDevice) {
  // In child processes: the driver SDL ends up with is the whole process's
  // (and earlier tests may have started one).
  auto run = [](bool fallback) {
    SDL_Quit();
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    setAudioOffline(false);
    setSilentFallback(fallback);
    startAudioInit();
    if (!audioInit()) std::exit(3);
    std::exit(audioInit() ? 0 : 4);  // later calls do the work themselves
  };
  EXPECT_EXIT(run(true), ExitedWithCode(0), "no sound device .*: the show plays silently\n$");
  EXPECT_EXIT(run(false), ExitedWithCode(3), "");
}

TEST_F(MusicTest, FailuresAreFatalWithTheirMessages) {
  EXPECT_EXIT(Music("data/music.XML"), ExitedWithCode(1), "Music format .XML not supported\n$");
  EXPECT_EXIT(Music("data/music.wav"), ExitedWithCode(1), "Music format .wav not supported\n$");
  EXPECT_EXIT(Music("data/missing.ogg"), ExitedWithCode(1), "Failed to open data/missing.ogg\n$");
  addEntry("data/empty.ogg", Bytes());
  EXPECT_EXIT(Music("data/empty.ogg"), ExitedWithCode(1),
              "Failed to read music data from data/empty.ogg!\n$");

  // A stream that cannot be decoded is noticed when it should start.
  addEntry("data/junk.ogg", Bytes(3000, 0x42));
  Music junk("data/junk.ogg");
  EXPECT_EXIT(junk.play(), ExitedWithCode(1), "Failed to start the music!\n$");

  addEntry("data/tone.ogg", encodedTone(0.5, "ogg"));
  Music tone("data/tone.ogg");
  EXPECT_EXIT(tone.noteStates("Lightning"), ExitedWithCode(1),
              "Attempted to get note states without a valid MIDI file loaded!\n$");
  EXPECT_EXIT(tone.waveform(nullptr), ExitedWithCode(1), "Invalid buffer\n$");
}

// --- the sync configuration ------------------------------------------------

void be(Bytes& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A MIDI file: a conductor track with the tempo, then one track per name,
// each with one C5 (60) note from beat 1 to beat 2 (division 96).
Bytes midiWithTracks(const std::vector<std::string>& names, uint32_t microseconds) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  be(out, 1, 2);
  be(out, static_cast<uint32_t>(names.size() + 1), 2);
  be(out, 96, 2);
  auto chunk = [&out](const Bytes& events) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    be(out, static_cast<uint32_t>(events.size()), 4);
    out.insert(out.end(), events.begin(), events.end());
  };
  chunk({0, 0xff, 0x51, 3, static_cast<uint8_t>(microseconds >> 16),
         static_cast<uint8_t>(microseconds >> 8), static_cast<uint8_t>(microseconds), 0, 0xff, 0x2f, 0});
  for (const std::string& name : names) {
    Bytes events = {0, 0xff, 0x03, static_cast<uint8_t>(name.size())};
    events.insert(events.end(), name.begin(), name.end());
    events.insert(events.end(), {0x60, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0, 0xff, 0x2f, 0});
    chunk(events);
  }
  return out;
}

const char* const kTemplate =
    "<unit><template>"
    "<range><min>0</min><max>63</max><value><numerator>1</numerator><denominator>8t</denominator></value></range>"
    "<range><min>64</min><max>127</max><value><numerator>1</numerator><denominator>2</denominator></value></range>"
    "</template></unit>";

std::string envelope(const char* attack = "0.5", const char* unit = "s") {
  return std::string("<envelope><attack unit=\"") + unit + "\" slope=\"exp\">" + attack +
         "</attack><decay unit=\"s\" slope=\"linear\">1</decay>"
         "<sustain unit=\"percent\">75</sustain>"
         "<release unit=\"s\" slope=\"exp_inv\">0.25</release></envelope>";
}

std::string oscillator(const char* denominator = "4t", const char* cc = "010") {
  return std::string("<lfo><wave>saw</wave><tempo><numerator>1</numerator><denominator>") +
         denominator + "</denominator><controller><cc>" + cc +
         "</cc><template file=\"ranges.xml\"/></controller></tempo></lfo>";
}

class SyncTest : public MusicTest {
 protected:
  void SetUp() override {
    MusicTest::SetUp();
    addEntry("data/music/show.ogg", encodedTone(0.5, "ogg"));
    addEntry("data/music/show.mid", midiWithTracks({"Drums", "Lightning", "Pads"}, 500000));
    addEntry("data/music/ranges.xml", std::string(kTemplate));
  }
  void configure(const std::string& entries) {
    for (auto it = dataIndex.begin(); it != dataIndex.end(); ++it)
      if ((*it)->name == "data/music/sync.xml") {
        dataIndex.erase(it);
        break;
      }
    addEntry("data/music/sync.xml",
             "<modulators stream_filename=\"show.ogg\" mididata_filename=\"show.mid\">" + entries +
                 "</modulators>");
  }
};

TEST_F(SyncTest, AttachesModulatorsToTheirTracksInDocumentOrder) {
  configure("<kick association=\"Drums\">" + envelope() + "<intensity unit=\"float\">2.5</intensity></kick>"
            "<both association=\"Drums\">" + envelope() + oscillator() + "</both>"
            "<none association=\"Pads\"><nothing/></none>"
            "<flash association=\"Lightning\">" + oscillator("8", "0x10") + "</flash>");
  Music music("data/music/sync.xml");
  EXPECT_EQ(music.tempo, 120.0f);
  ASSERT_NE(music.midi, nullptr);
  MidiTrack* drums = music.midi->track("Drums");
  ASSERT_EQ(drums->modulators.size(), 2u);

  const ADSR* adsr = dynamic_cast<const ADSR*>(drums->modulators[0].get());
  ASSERT_NE(adsr, nullptr);
  EXPECT_FLOAT_EQ(adsr->attack, 1.0f);  // 0.5 s at 120 beats a minute
  EXPECT_EQ(adsr->attackSlope, ADSR::kExp);
  EXPECT_FLOAT_EQ(adsr->decay, 2.0f);
  EXPECT_FLOAT_EQ(adsr->sustain, 0.75f);
  EXPECT_FLOAT_EQ(adsr->release, 0.5f);
  EXPECT_EQ(adsr->releaseSlope, ADSR::kExpInv);
  EXPECT_FLOAT_EQ(adsr->intensity, 2.5f);

  // An entry with both kinds makes only the oscillator.
  const LFO* lfo = dynamic_cast<const LFO*>(drums->modulators[1].get());
  ASSERT_NE(lfo, nullptr);
  EXPECT_EQ(lfo->wave, LFO::kSaw);
  EXPECT_FLOAT_EQ(lfo->period, 0.6666667f);  // 1/4 triplet
  EXPECT_EQ(lfo->cc, 8);                     // "010" is octal
  EXPECT_EQ(lfo->rangeMin, (std::vector<uint8_t>{0, 64}));
  EXPECT_EQ(lfo->rangeMax, (std::vector<uint8_t>{63, 127}));
  ASSERT_EQ(lfo->rangePeriod.size(), 2u);
  EXPECT_FLOAT_EQ(lfo->rangePeriod[0], 0.5f * 0.6666667f);
  EXPECT_FLOAT_EQ(lfo->rangePeriod[1], 2.0f);

  EXPECT_TRUE(music.midi->track("Pads")->modulators.empty());
  const LFO* flash = dynamic_cast<const LFO*>(music.midi->track("Lightning")->modulators[0].get());
  EXPECT_EQ(flash->cc, 16);  // "0x10"
  EXPECT_FLOAT_EQ(flash->period, 0.5f);

  EXPECT_EQ(music.noteStates("Lightning"), (std::vector<float>{1.0f, -2.0f}));
}

TEST_F(SyncTest, FilesNamedInTheConfigurationAreRelativeToIt) {
  configure("");
  Music music("data/music/sync.xml");
  EXPECT_EQ(music.streamPath(), "data/music/show.ogg");
  EXPECT_EQ(music.midi->tracks.size(), 3u);
}

TEST_F(SyncTest, BrokenConfigurationsAreFatal) {
  struct Case {
    std::string entries;
    const char* message;
  } cases[] = {
      {"<e association=\"Drums\">" + envelope("0.5", "S") + "</e>", "Unrecognized unit type: S\n$"},
      {"<e association=\"Drums\">" + envelope("0.5", "sec") + "</e>", "Unrecognized unit type: sec\n$"},
      {"<e association=\"Drums\">" + envelope() + "<intensity unit=\"percent\">1</intensity></e>",
       "Unexpected intensity unit: percent\n$"},
      {"<e association=\"Drums\"><envelope><decay/></envelope></e>",
       "env_element->FirstChildElement\\( \"attack\" \\) is NULL\n$"},
      {"<e association=\"Drums\"><lfo><wave>square</wave></lfo></e>", "Unrecognized LFO wave type: square\n$"},
      {"<e association=\"Drums\"><lfo><wave>sine</wave></lfo></e>", "tempo_element is NULL\n$"},
      {"<e association=\"Nobody\">" + envelope() + "</e>", "No MIDI track named \"Nobody\""},
      {"<e>" + envelope() + "</e>", "Missing attribute \"association\" of element <e>"},
  };
  for (const Case& c : cases) {
    configure(c.entries);
    EXPECT_EXIT(Music("data/music/sync.xml"), ExitedWithCode(1), c.message) << c.entries;
  }
  addEntry("data/music/broken.xml", std::string("<modulators><unclosed></modulators>"));
  EXPECT_EXIT(Music("data/music/broken.xml"), ExitedWithCode(1),
              "Could not load data/music/broken.xml. Error='[^']+'. Exiting.\n\n$");
  addEntry("data/music/other.xml", std::string("<settings/>"));
  EXPECT_EXIT(Music("data/music/other.xml"), ExitedWithCode(1), "\n\nelement is NULL\n$");
}

}  // namespace
