// The per-note cutoff envelope: one byte level per filtered sample,
// written out in advance from six bytes of a preset record.
#pragma once

#include <cstdint>
#include <memory>

class FilterEnvelope {
 public:
  // The longest sequence any record gives: 2551 ramp, 2550 glide and
  // 255000 hold levels.
  static constexpr int32_t kMaxLength = 260101;
  static constexpr uint8_t kLevelWithoutRecord = 128;

  // Reserves and touches the whole storage up front, so that no rebuild on
  // the audio thread allocates or pays for first-touch page faults.
  FilterEnvelope();

  // Rewrites the sequence from a whole 32-byte preset record, or to the
  // single level 128 when there is none.
  void rebuild(const uint8_t* presetRecord);

  int32_t size() const { return length; }
  bool empty() const { return length == 0; }
  uint8_t operator[](int32_t i) const { return levels[i]; }
  uint8_t back() const { return levels[length - 1]; }
  const uint8_t* data() const { return levels.get(); }

 private:
  void append(uint8_t level) { levels[length++] = level; }
  void appendRepeated(uint8_t level, int32_t count);

  std::unique_ptr<uint8_t[]> levels;
  int32_t length = 0;
};
