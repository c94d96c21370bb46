// A plain, line-by-line rendering of the instrument's sound path, kept
// apart from the production code on purpose: it is slow and obviously
// right. Tests compare the optimised renderer against it bit for bit, and
// the benchmarks measure their speed against it in the same run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "instrument/engine/engine.h"

namespace sarn2 {

class Sarn2VST;

// The engine's sound state, open to the reference renderer, which renders
// from the same state with the same effect on it, and to tests that set up
// a state no short sequence of operations reaches.
struct EngineInternals {
  static std::array<Voice, Engine::kVoiceCount>& voices(Engine& e) { return e.voiceSlots_.voices; }
  static std::array<uint32_t, 2 * Engine::kVoiceCount>& phaseAccumulators(Engine& e) {
    return e.oscillators_.phaseAccumulators;
  }
  static ResonantFilter& filter(Engine& e) { return e.filterPath_.filter; }
  static int32_t& filterEnvelopePos(Engine& e) { return e.filterEnvelopePos_; }
  static int32_t& waveBankOffset(Engine& e) { return e.waveBankOffset_; }
  static double& renderRate(Engine& e) { return e.renderRate_; }
  // The preset field alone, without applying it.
  static void storePreset(Engine& e, int32_t number) { e.preset_.store(number); }
  static void setSecondOscillator(Engine& e, bool on) { e.secondOscillatorOn_.store(on ? 1 : 0); }
};

}  // namespace sarn2

namespace reference {

// One audio block rendered from the engine's own state at the given rate,
// with the same effect on it as Engine::renderBlock.
void renderBlock(sarn2::Engine& engine, float* output, int32_t sampleFrames, double sampleRate);
// The same for a plug-in instance, at its host's sample rate.
void renderBlock(sarn2::Sarn2VST& instrument, float* output, int32_t sampleFrames);

// The envelope levels for a whole 32-byte preset record (null: no record).
std::vector<uint8_t> filterEnvelope(const uint8_t* presetRecord);

}  // namespace reference
