#pragma once
// LFO: an oscillator that swings while the note is held, with a period
// given as a note value.
#include "util/music/modulators/modulator.h"

class LFO : public Modulator {
 public:
  static constexpr int kSine = 0;
  static constexpr int kSaw = 1;

  LFO(int wave, int cc, int numerator, int denominator, bool triplet);

  float value(float spare, float now, float offTime, float onTime) const override;

  int wave;
};
