// Music::loadSync: the sync configuration that ties the stream to the MIDI
// data and attaches envelopes and oscillators to named MIDI tracks, and the
// controller templates of the oscillators.
#include <tinyxml.h>

#include <cstdio>
#include <cstring>

#include "util/data/data.h"
#include "util/error.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"
#include "util/music/music.h"
#include "util/xml.h"

namespace {

// Parses an XML file opened through the file access layer; fatal when it
// cannot be opened or parsed.
void loadDocument(TiXmlDocument& document, const std::string& path) {
  FILE* file = dataFopen(path.c_str(), "rb");
  const std::string error = file ? loadXml(document, file) : "Failed to open file";
  if (file) std::fclose(file);
  if (!error.empty())
    FATAL("Could not load %s. Error='%s'. Exiting.\n", path.c_str(), error.c_str());
}

const char* textOf(const TiXmlElement* element) {
  const char* text = element->GetText();
  return text ? text : "";
}

// Numbers as the configuration writes them: "%i" takes octal (010) and
// hexadecimal (0x10) too. A text that does not scan keeps the default.
int readInt(const TiXmlElement* element, int fallback) {
  int value;
  return std::sscanf(textOf(element), "%i", &value) == 1 ? value : fallback;
}

float readFloat(const TiXmlElement* element, float fallback) {
  float value;
  return std::sscanf(textOf(element), "%f", &value) == 1 ? value : fallback;
}

// A denominator such as "8", "8t" or "8 triplet": the first non-blank
// character after the number marks a triplet when it is "t" or "T".
int readDenominator(const TiXmlElement* element, bool& triplet) {
  int value = -1;
  char suffix[8] = "";
  int scanned = std::sscanf(textOf(element), "%i %7s", &value, suffix);
  triplet = scanned == 2 && (suffix[0] == 't' || suffix[0] == 'T');
  return scanned >= 1 ? value : -1;
}

const char* requiredAttribute(const TiXmlElement* element, const char* name) {
  const char* value = element->Attribute(name);
  if (!value) FATAL("Missing attribute \"%s\" of element <%s>", name, element->Value());
  return value;
}

int slopeOf(const TiXmlElement* element) {
  const char* slope = requiredAttribute(element, "slope");
  if (std::strcmp(slope, "linear") == 0) return ADSR::kLinear;
  if (std::strcmp(slope, "exp") == 0) return ADSR::kExp;
  if (std::strcmp(slope, "exp_inv") == 0) return ADSR::kExpInv;
  FATAL("Unrecognized slope type: %s", slope);
}

void requireUnit(const TiXmlElement* element, const char* unit) {
  const char* given = requiredAttribute(element, "unit");
  if (std::strcmp(given, unit) != 0) FATAL("Unrecognized unit type: %s", given);
}

// An envelope time: seconds in the file, beats at the MIDI file's tempo.
float timeInBeats(const TiXmlElement* element, float tempo) {
  float seconds = readFloat(element, 1.0f);
  requireUnit(element, "s");
  return seconds * 0.016666668f * tempo;
}

std::unique_ptr<Modulator> buildEnvelope(const TiXmlElement* envelope, float tempo) {
  const TiXmlElement* attack = envelope->FirstChildElement("attack");
  if (!attack) FATAL("env_element->FirstChildElement( \"attack\" ) is NULL");
  const TiXmlElement* decay = envelope->FirstChildElement("decay");
  if (!decay) FATAL("env_element->FirstChildElement( \"decay\" ) is NULL");
  const TiXmlElement* sustain = envelope->FirstChildElement("sustain");
  if (!sustain) FATAL("env_element->FirstChildElement( \"sustain\" ) is NULL");
  const TiXmlElement* release = envelope->FirstChildElement("release");
  if (!release) FATAL("env_element->FirstChildElement( \"release\" ) is NULL");

  float attackBeats = timeInBeats(attack, tempo);
  int attackSlope = slopeOf(attack);
  float decayBeats = timeInBeats(decay, tempo);
  int decaySlope = slopeOf(decay);
  float sustainLevel = readFloat(sustain, 1.0f);
  requireUnit(sustain, "percent");
  float releaseBeats = timeInBeats(release, tempo);
  int releaseSlope = slopeOf(release);
  return std::make_unique<ADSR>(attackBeats, attackSlope, decayBeats, decaySlope,
                                sustainLevel * 0.01f, releaseBeats, releaseSlope);
}

void loadTemplate(const std::string& path, Modulator& modulator) {
  TiXmlDocument document;
  loadDocument(document, path);
  const TiXmlElement* element = document.FirstChildElement("unit");
  if (!element) FATAL("element is NULL");
  const TiXmlElement* table = element->FirstChildElement("template");
  if (!table) FATAL("element->FirstChildElement( \"template\" ) is NULL");
  const TiXmlElement* range = table->FirstChildElement("range");
  if (!range) FATAL("element->FirstChildElement( \"template\" )->FirstChildElement( \"range\" ) is NULL");

  for (; range; range = range->NextSiblingElement("range")) {
    const TiXmlElement* min = range->FirstChildElement("min");
    if (!min) FATAL("cur_el->FirstChildElement( \"min\" ) is NULL");
    const TiXmlElement* max = range->FirstChildElement("max");
    if (!max) FATAL("cur_el->FirstChildElement( \"max\" ) is NULL");
    const TiXmlElement* value = range->FirstChildElement("value");
    if (!value) FATAL("cur_el->FirstChildElement( \"value\" ) is NULL");
    const TiXmlElement* numerator = value->FirstChildElement("numerator");
    if (!numerator)
      FATAL("cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"numerator\" ) is NULL");
    const TiXmlElement* denominator = value->FirstChildElement("denominator");
    if (!denominator)
      FATAL("cur_el->FirstChildElement( \"value\" )->FirstChildElement( \"denominator\" ) is NULL");

    bool triplet;
    int d = readDenominator(denominator, triplet);
    modulator.rangeMin.push_back(static_cast<uint8_t>(readInt(min, -1)));
    modulator.rangeMax.push_back(static_cast<uint8_t>(readInt(max, -1)));
    modulator.rangePeriod.push_back(noteValueBeats(readInt(numerator, -1), d, triplet));
  }
}

std::unique_ptr<Modulator> buildOscillator(const TiXmlElement* lfo, const std::string& directory) {
  const TiXmlElement* wave = lfo->FirstChildElement("wave");
  if (!wave) FATAL("lfo_element->FirstChildElement( \"wave\" ) is NULL");
  int waveKind;
  if (std::strcmp(textOf(wave), "sine") == 0)
    waveKind = LFO::kSine;
  else if (std::strcmp(textOf(wave), "saw") == 0)
    waveKind = LFO::kSaw;
  else
    FATAL("Unrecognized LFO wave type: %s", textOf(wave));

  const TiXmlElement* tempo = lfo->FirstChildElement("tempo");
  if (!tempo) FATAL("tempo_element is NULL");
  const TiXmlElement* numerator = tempo->FirstChildElement("numerator");
  if (!numerator) FATAL("tempo_element->FirstChildElement( \"numerator\" ) is NULL");
  const TiXmlElement* denominator = tempo->FirstChildElement("denominator");
  if (!denominator) FATAL("tempo_element->FirstChildElement( \"denominator\" ) is NULL");
  bool triplet;
  int n = readInt(numerator, -1);
  int d = readDenominator(denominator, triplet);

  const TiXmlElement* controller = tempo->FirstChildElement("controller");
  if (!controller) FATAL("tempo_element->FirstChildElement( \"controller\" ) is NULL");
  const TiXmlElement* cc = controller->FirstChildElement("cc");
  if (!cc) FATAL("tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"cc\" ) is NULL");

  auto oscillator = std::make_unique<LFO>(waveKind, readInt(cc, -1), n, d, triplet);
  const TiXmlElement* table = controller->FirstChildElement("template");
  if (!table)
    FATAL("tempo_element->FirstChildElement( \"controller\" )->FirstChildElement( \"template\" ) is NULL");
  loadTemplate(directory + requiredAttribute(table, "file"), *oscillator);
  return oscillator;
}

}  // namespace

void Music::loadSync(const std::string& path, const Music* playing) {
  syncPath_ = path;
  TiXmlDocument document;
  loadDocument(document, path);
  const TiXmlElement* root = document.FirstChildElement("modulators");
  if (!root) FATAL("element is NULL");
  std::string directory = path.substr(0, path.rfind('/') + 1);  // empty without a "/"

  loadStream(directory + requiredAttribute(root, "stream_filename"), playing);
  loadMidi(directory + requiredAttribute(root, "mididata_filename"));

  for (const TiXmlElement* entry = root->FirstChildElement(); entry;
       entry = entry->NextSiblingElement()) {
    const char* association = requiredAttribute(entry, "association");
    MidiTrack* track = midi->track(association);
    if (!track) FATAL("No MIDI track named \"%s\" for the modulator <%s>", association, entry->Value());

    std::unique_ptr<Modulator> modulator;
    if (const TiXmlElement* lfo = entry->FirstChildElement("lfo"))
      modulator = buildOscillator(lfo, directory);
    else if (const TiXmlElement* envelope = entry->FirstChildElement("envelope"))
      modulator = buildEnvelope(envelope, tempo);

    if (const TiXmlElement* intensity = entry->FirstChildElement("intensity")) {
      const char* unit = requiredAttribute(intensity, "unit");
      if (std::strcmp(unit, "float") != 0) FATAL("Unexpected intensity unit: %s", unit);
      if (!modulator)
        FATAL("Intensity given in <%s> for track \"%s\", but the entry makes no modulator",
              entry->Value(), association);
      modulator->intensity = readFloat(intensity, 0.0f);
    }
    if (modulator) track->modulators.push_back(std::move(modulator));
  }
}
