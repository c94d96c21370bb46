// Instruments set up for measurement: a ROM set written once per run, with
// presets laid out so that every cutoff and resonance code can be chosen.
#pragma once

#include <memory>
#include <string>

#include "instrument/sarn2_vst.h"

namespace bench {

using sarn2::Sarn2VST;

// Preset 4 * cutoffCode + resonanceCode: second oscillator on, a short pluck
// envelope. Preset kLongestEnvelopePreset gives the longest envelope.
constexpr int kLongestEnvelopePreset = 31;
int presetFor(int cutoffCode, int resonanceCode);

// The directory holding the ROM set (written on first use, removed at exit).
const std::string& romDirectory();

std::unique_ptr<Sarn2VST> makeInstrument(int preset);

// Note-ons for eight notes (a wide chord), through the event path.
void holdEightNotes(Sarn2VST& instrument);
void releaseAllNotes(Sarn2VST& instrument);

}  // namespace bench
