#pragma once
// ADSR: an envelope that rises when the note goes on, falls to a sustain
// level and dies away after the note goes off. Times in beats.
#include "util/music/modulators/modulator.h"

class ADSR : public Modulator {
 public:
  // Slopes: 0 linear, 1 exp, 2 exp_inv.
  static constexpr int kLinear = 0;
  static constexpr int kExp = 1;
  static constexpr int kExpInv = 2;

  ADSR(float attack, int attackSlope, float decay, int decaySlope, float sustain, float release,
       int releaseSlope);

  float value(float spare, float now, float offTime, float onTime) const override;

  float attack;
  int attackSlope;
  float decay;
  int decaySlope;
  float sustain;  // a fraction: 1 = full
  float release;
  int releaseSlope;
  float curveBase = 250.0f;  // base of the exponential curves
};
