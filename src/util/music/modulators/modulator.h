#pragma once
// Modulator: turns a MIDI track's note events into a continuous value for
// animation, from the beats of the note's most recent on and off events.
// Created by the sync configuration and attached to their track.
#include <cstdint>
#include <vector>

// A note value n/d in beats (quarter notes): n x 4 / d, two thirds of that
// for a triplet, 0 when d is 0.
float noteValueBeats(int numerator, int denominator, bool triplet);

class Modulator {
 public:
  static constexpr int kEnvelope = 0;
  static constexpr int kOscillator = 1;

  virtual ~Modulator() = default;

  // The value at beat `now` for a note last switched on at `onTime` and off
  // at `offTime`. `spare` is not read. The base gives 1.
  virtual float value(float spare, float now, float offTime, float onTime) const;

  int cc = -1;  // controller that drives the modulator; -1: none
  int kind = kEnvelope;
  float intensity = 1.0f;  // for the consumer; value does not apply it
  float period = 0.0f;     // oscillator period in beats

  // The controller template's ranges, parallel lists in file order.
  std::vector<uint8_t> rangeMin;
  std::vector<uint8_t> rangeMax;
  std::vector<float> rangePeriod;
};
