// Applying a preset: the one setting copied out of the preset record.
#include "instrument/sarn2_vst.h"

void Sarn2VST::applyPreset(int32_t number) {
  const uint8_t* record = wholePresetRecord(roms, number);
  if (record == nullptr) return;
  // Bit 7 of byte 15 switches the detuned second oscillator off.
  secondOscillatorOn.store((record[kControlByteIndex] & 0x80) == 0 ? 1 : 0, std::memory_order_relaxed);
}
