// One 32-byte preset record of the ROM image, decoded in one place: byte 15
// (wave bank, cutoff code, resonance code, second oscillator switch) and the
// six bytes of the filter envelope. The ROM-set writer uses the encoders.
#pragma once

#include <cstdint>

namespace sarn2 {

constexpr int32_t kPresetCount = 32;
constexpr int32_t kPresetRecordBytes = 32;
constexpr int32_t kPresetTableStart = 0x2400;  // byte position in the ROM image: 9216

// Byte 15: bits 0-2 wave bank, 3-4 cutoff code, 5-6 resonance code, bit 7
// set switches the detuned second oscillator off.
struct PresetControl {
  static constexpr int32_t kByteIndex = 15;

  uint8_t byte{0};

  int32_t waveBank() const { return byte & 0x07; }
  int32_t cutoffCode() const { return (byte >> 3) & 0x03; }
  int32_t resonanceCode() const { return (byte >> 5) & 0x03; }
  bool secondOscillator() const { return (byte & 0x80) == 0; }

  static PresetControl encode(int32_t bank, int32_t cutoffCode, int32_t resonanceCode,
                              bool secondOscillator) {
    return {static_cast<uint8_t>((bank & 0x07) | (cutoffCode & 0x03) << 3 | (resonanceCode & 0x03) << 5 |
                                 (secondOscillator ? 0 : 0x80))};
  }
};

// The filter envelope's bytes: record bytes 0, 1, 2, 4, 6 and 8.
struct EnvelopeBytes {
  static constexpr int32_t kRampStart = 0, kRampRate = 1, kRampEnd = 2, kGlideTime = 4, kHoldLevel = 6,
                           kHoldTime = 8;

  uint8_t rampStart{0};
  uint8_t rampRate{0};  // tenths of a level per sample; 0 means one level
  uint8_t rampEnd{0};
  uint8_t glideTime{0};  // tens of samples; 0 means 100 samples
  uint8_t holdLevel{0};
  uint8_t holdTime{0};  // thousands of samples; 0 means 22050 samples

  static EnvelopeBytes decode(const uint8_t* record) {
    return {record[kRampStart], record[kRampRate],  record[kRampEnd],
            record[kGlideTime], record[kHoldLevel], record[kHoldTime]};
  }
  void encode(uint8_t* record) const {
    record[kRampStart] = rampStart;
    record[kRampRate] = rampRate;
    record[kRampEnd] = rampEnd;
    record[kGlideTime] = glideTime;
    record[kHoldLevel] = holdLevel;
    record[kHoldTime] = holdTime;
  }
};

// A view of one record inside the image. The image may end inside the
// record: the control byte is then read only if it is still present, and
// the envelope only if the whole record is.
struct PresetRecordView {
  const uint8_t* record{nullptr};  // the whole 32 bytes, or null
  bool hasControl{false};
  PresetControl control{};  // 0 when the image does not reach byte 15

  bool whole() const { return record != nullptr; }
  EnvelopeBytes envelope() const { return whole() ? EnvelopeBytes::decode(record) : EnvelopeBytes{}; }
};

}  // namespace sarn2
