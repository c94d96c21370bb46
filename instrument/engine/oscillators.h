// The wavetable oscillators, two per voice, and the block mix of the voices:
// every sounding voice adds its samples into the mix in slot order.
#pragma once

#include <array>
#include <cstdint>

#include "instrument/engine/rom_tables.h"
#include "instrument/engine/voice_slots.h"

namespace sarn2 {

class Oscillators {
 public:
  // What stays fixed over one block on the audio thread.
  struct Block {
    const double* bank{nullptr};  // the current wave bank, scaled by the mix gain
    double factor{1.0};           // pitch bend factor, as a double from its float
    double rateRatio{1.0};        // pitch table rate / render rate: keeps the pitch in tune
    double fall{0.0};             // level a released voice loses per sample
    bool twoOscillators{false};
  };

  // The block's settings from the wave bank at waveBankOffset, the pitch
  // bend (-1 to 1 is the MIDI range), the release value and the rate in Hz.
  Block prepare(const RomTables& roms, int32_t waveBankOffset, float pitchBend, double release, double rate,
                bool twoOscillators);

  // Adds count samples of every voice that is not free into mix; released
  // voices fade and free their slot when the level reaches 0.
  void mix(VoiceSlots& slots, const RomTables& roms, const Block& block, double* mix, int32_t count);

  // Two 20-bit phases per voice: oscillator 0 at 2v, oscillator 1 at 2v + 1.
  std::array<uint32_t, 2 * VoiceSlots::kVoiceCount> phaseAccumulators{};

 private:
  void mixVoice(Voice& voice, int32_t v, const RomTables& roms, const Block& block, double* mix,
                int32_t count);
  const double* scaledBank(const RomTables& roms, int32_t bankOffset);

  // One wave bank decoded and scaled by the mix gain, for the bank offset
  // it was made for (the wave table never changes after construction).
  std::array<double, kSamplesPerBank> scaledBankSamples{};
  int32_t scaledBankOffset{-1};
};

}  // namespace sarn2
