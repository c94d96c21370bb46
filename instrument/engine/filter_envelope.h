// The per-note cutoff envelope: one byte level per filtered sample,
// written out in advance from six bytes of a preset record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sarn2 {

// The sequence is a ramp, a glide and a hold of one level repeated up to
// 255,000 times. Only ramp and glide are stored; the hold is kept as its
// level and count, which reads exactly like the written-out sequence but
// makes a rebuild a few thousand steps instead of a quarter megabyte.
class FilterEnvelope {
 public:
  // The longest sequence any record gives: 2551 ramp, 2550 glide and
  // 255000 hold levels.
  static constexpr int32_t kMaxLength = 260101;
  static constexpr int32_t kMaxRampAndGlide = 2551 + 2550;
  static constexpr uint8_t kLevelWithoutRecord = 128;

  // Rewrites the sequence from a whole 32-byte preset record, or to the
  // single level 128 when there is none. Never allocates.
  void rebuild(const uint8_t* presetRecord);

  int32_t size() const { return length; }
  bool empty() const { return length == 0; }
  uint8_t operator[](int32_t i) const {
    return i < storedLength ? stored[static_cast<size_t>(i)] : holdLevel;
  }
  uint8_t back() const { return (*this)[length - 1]; }

  // The level for the sample at read position pos, which then moves on by
  // one: an exhausted envelope holds its last level and an empty one (no
  // note played yet) reads 128, and neither moves the position.
  uint8_t nextLevel(int32_t& pos) const {
    if (empty()) return kLevelWithoutRecord;
    if (pos < length) return (*this)[pos++];
    return back();
  }

  // Levels before this index vary; from it to the end every level is
  // holdLevelValue().
  int32_t variableLength() const { return storedLength; }
  uint8_t holdLevelValue() const { return holdLevel; }
  const uint8_t* variableLevels() const { return stored.data(); }

 private:
  void append(uint8_t level) { stored[static_cast<size_t>(storedLength++)] = level; }

  // Value-initialised, so the storage is touched when the instrument is
  // created and the first note-on pays for no page faults.
  std::array<uint8_t, kMaxRampAndGlide> stored{};
  int32_t storedLength{0};
  uint8_t holdLevel{0};
  int32_t length{0};
};

}  // namespace sarn2
