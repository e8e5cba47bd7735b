// Envelope and oscillator values from a note's last on and off beats.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/messagebox.h"
#include "util/music/modulators/adsr.h"
#include "util/music/modulators/lfo.h"

namespace {

using ::testing::ExitedWithCode;

// value(spare, now, offTime, onTime)
float at(const Modulator& m, float now, float onTime, float offTime) {
  return m.value(0.0f, now, offTime, onTime);
}

TEST(ModulatorBase, IsOneWhateverTheArguments) {
  Modulator base;
  EXPECT_EQ(base.value(7.0f, 3.0f, 2.0f, 1.0f), 1.0f);
  EXPECT_EQ(base.value(0.0f, -1.0f, 5.0f, 9.0f), 1.0f);
  EXPECT_EQ(base.cc, -1);
  EXPECT_EQ(base.intensity, 1.0f);
}

TEST(ModulatorNoteValues, QuarterIsOneBeat) {
  EXPECT_EQ(noteValueBeats(1, 4, false), 1.0f);
  EXPECT_EQ(noteValueBeats(1, 8, false), 0.5f);
  EXPECT_NEAR(noteValueBeats(1, 8, true), 0.33333f, 1e-5);
  EXPECT_EQ(noteValueBeats(2, 1, false), 8.0f);
  EXPECT_EQ(noteValueBeats(3, 0, true), 0.0f);
}

TEST(ModulatorEnvelope, LinearHeldAndReleased) {
  const ADSR env(1.0f, ADSR::kLinear, 1.0f, ADSR::kLinear, 0.5f, 2.0f, ADSR::kLinear);
  EXPECT_EQ(env.kind, Modulator::kEnvelope);
  EXPECT_EQ(env.curveBase, 250.0f);
  EXPECT_FLOAT_EQ(at(env, 10.0f, 10.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(at(env, 10.5f, 10.0f, 0.0f), 0.5f);
  EXPECT_FLOAT_EQ(at(env, 11.0f, 10.0f, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(at(env, 11.5f, 10.0f, 0.0f), 0.75f);
  EXPECT_FLOAT_EQ(at(env, 13.0f, 10.0f, 0.0f), 0.5f);
  // Released during the attack at level 0.5.
  EXPECT_FLOAT_EQ(at(env, 11.5f, 10.0f, 10.5f), 0.25f);
  EXPECT_FLOAT_EQ(at(env, 12.5f, 10.0f, 10.5f), 0.0f);
  EXPECT_FLOAT_EQ(at(env, 13.0f, 10.0f, 10.5f), 0.0f);
  // Released during the decay (level 0.75) and while sustaining (0.5).
  EXPECT_FLOAT_EQ(at(env, 11.5f, 10.0f, 11.5f), 0.75f);
  EXPECT_FLOAT_EQ(at(env, 21.0f, 10.0f, 20.0f), 0.25f);
}

TEST(ModulatorEnvelope, ExponentialCurves) {
  const float half = (std::sqrt(250.0f) - 1.0f) / 249.0f;  // 0.0595
  const ADSR exp(2.0f, ADSR::kExp, 2.0f, ADSR::kExp, 0.5f, 2.0f, ADSR::kExp);
  const ADSR inv(2.0f, ADSR::kExpInv, 2.0f, ADSR::kExpInv, 0.5f, 2.0f, ADSR::kExpInv);
  EXPECT_NEAR(at(exp, 1.0f, 0.0f, -1.0f), 0.0595f, 1e-4);
  EXPECT_NEAR(at(inv, 1.0f, 0.0f, -1.0f), 0.9405f, 1e-4);
  // The ends of every curve meet the neighbouring phase.
  EXPECT_NEAR(at(exp, 2.0f, 0.0f, -1.0f), 1.0f, 1e-6);
  EXPECT_NEAR(at(inv, 4.0f, 0.0f, -1.0f), 0.5f, 1e-6);
  // Decay and release run the curve backwards.
  EXPECT_NEAR(at(exp, 3.0f, 0.0f, -1.0f), 0.5f + 0.5f * half, 1e-6);
  EXPECT_NEAR(at(inv, 3.0f, 0.0f, -1.0f), 0.5f + 0.5f * (1.0f - half), 1e-6);
  EXPECT_NEAR(at(exp, 11.0f, 0.0f, 10.0f), 0.5f * half, 1e-6);
}

TEST(ModulatorEnvelope, ZeroLengthPhasesAreOverAtOnce) {
  const ADSR noAttack(0.0f, ADSR::kExp, 1.0f, ADSR::kLinear, 0.5f, 0.0f, ADSR::kExp);
  EXPECT_EQ(at(noAttack, 5.0f, 5.0f, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(at(noAttack, 5.5f, 5.0f, 0.0f), 0.75f);
  EXPECT_EQ(at(noAttack, 7.0f, 5.0f, 7.0f), 0.0f);  // no release
  EXPECT_EQ(at(noAttack, 5.0f, 5.0f, 5.0f), 0.0f);

  const ADSR noDecay(1.0f, ADSR::kLinear, 0.0f, ADSR::kExp, 0.25f, 1.0f, ADSR::kLinear);
  EXPECT_EQ(at(noDecay, 1.0f, 0.0f, -1.0f), 1.0f);
  EXPECT_EQ(at(noDecay, 1.01f, 0.0f, -1.0f), 0.25f);
  EXPECT_FLOAT_EQ(at(noDecay, 1.5f, 0.0f, 1.0f), 0.125f);  // released at level S
}

TEST(ModulatorOscillator, SineOverOnePeriod) {
  const LFO lfo(LFO::kSine, 12, 1, 4, false);
  EXPECT_EQ(lfo.kind, Modulator::kOscillator);
  EXPECT_EQ(lfo.cc, 12);
  EXPECT_EQ(lfo.period, 1.0f);
  EXPECT_NEAR(at(lfo, 8.0f, 8.0f, 0.0f), 0.0f, 1e-6);
  EXPECT_NEAR(at(lfo, 8.25f, 8.0f, 0.0f), 0.5f, 1e-6);
  EXPECT_NEAR(at(lfo, 8.5f, 8.0f, 0.0f), 1.0f, 1e-6);
  EXPECT_NEAR(at(lfo, 9.0f, 8.0f, 0.0f), 0.0f, 1e-6);
}

TEST(ModulatorOscillator, SawRisesToThePeriod) {
  const LFO saw(LFO::kSaw, -1, 2, 4, false);
  EXPECT_FLOAT_EQ(at(saw, 5.5f, 2.0f, 0.0f), 1.5f);
  EXPECT_FLOAT_EQ(at(saw, 3.0f, 2.0f, 0.0f), 1.0f);
  const LFO triplet(LFO::kSaw, -1, 1, 4, true);
  EXPECT_NEAR(triplet.period, 2.0f / 3.0f, 1e-6);
}

TEST(ModulatorOscillator, SilentWhenReleasedOrWithoutPeriod) {
  for (int wave : {LFO::kSine, LFO::kSaw}) {
    const LFO lfo(wave, -1, 1, 4, false);
    EXPECT_EQ(at(lfo, 9.5f, 8.0f, 9.0f), 0.0f);
    EXPECT_EQ(at(lfo, 9.5f, 8.0f, 8.0f), 0.0f);
    EXPECT_EQ(at(LFO(wave, -1, 1, 0, false), 9.5f, 8.0f, 0.0f), 0.0f);
  }
}

TEST(ModulatorDeathTest, UnknownCurvesAndWavesAreFatal) {
  setMessageBoxesEnabled(false);
  const ADSR badRelease(1.0f, ADSR::kLinear, 1.0f, ADSR::kLinear, 0.5f, 1.0f, 7);
  EXPECT_EQ(at(badRelease, 0.5f, 0.0f, -1.0f), 0.5f);  // the release is not computed
  EXPECT_EXIT(at(badRelease, 3.5f, 0.0f, 3.0f), ExitedWithCode(1),
              "^Error in file src/util/music/modulators/adsr\\.cpp:[0-9]+\n\n"
              "Unsupported slope type: 7\n$");
  const ADSR badAttack(1.0f, -1, 1.0f, ADSR::kLinear, 0.5f, 1.0f, ADSR::kLinear);
  EXPECT_EXIT(at(badAttack, 0.5f, 0.0f, -1.0f), ExitedWithCode(1), "Unsupported slope type: -1\n$");
  const LFO square(2, -1, 1, 4, false);
  EXPECT_EQ(at(square, 1.0f, 0.0f, 1.0f), 0.0f);  // released: the wave is not looked at
  EXPECT_EXIT(at(square, 1.0f, 1.0f, 0.0f), ExitedWithCode(1),
              "^Error in file src/util/music/modulators/lfo\\.cpp:[0-9]+\n\n"
              "Unsupported wave type: 2\n$");
}

}  // namespace
