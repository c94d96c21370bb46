// The effect record a host receives from the entry point, and the entry
// point's own rules.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

using namespace testhost;

namespace {

template <typename T>
T fieldAt(const EffectRecord* record, size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(record) + offset, sizeof(T));
  return value;
}

constexpr size_t P = sizeof(void*);  // pointer-sized fields widen on 64-bit targets

}  // namespace

TEST(EffectRecord, HoldsTheInstrumentsFixedProperties) {
  PlatformRoms noRoms;
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  recorder().reset();
  Instance instance(library);
  const EffectRecord* record = instance.effect();
  ASSERT_NE(record, nullptr);

  const auto* bytes = reinterpret_cast<const uint8_t*>(record);
  EXPECT_EQ(0, std::memcmp(bytes, "\x50\x74\x73\x56", 4));  // magic, V s t P big-endian
  const size_t ints = 5 * P;
  EXPECT_EQ(fieldAt<int32_t>(record, ints + 0), 0);   // programs
  EXPECT_EQ(fieldAt<int32_t>(record, ints + 4), 3);   // parameters
  EXPECT_EQ(fieldAt<int32_t>(record, ints + 8), 0);   // inputs
  EXPECT_EQ(fieldAt<int32_t>(record, ints + 12), 1);  // outputs
  EXPECT_EQ(fieldAt<int32_t>(record, ints + 16), 0x130);
  const size_t reserved = ints + 20 + (P == 8 ? 4 : 0);
  EXPECT_EQ(fieldAt<intptr_t>(record, reserved), 0);
  EXPECT_EQ(fieldAt<intptr_t>(record, reserved + P), 0);
  const size_t delay = reserved + 2 * P;
  EXPECT_EQ(fieldAt<int32_t>(record, delay), 0);
  EXPECT_EQ(fieldAt<int32_t>(record, delay + 4), 0);
  EXPECT_EQ(fieldAt<int32_t>(record, delay + 8), 0);
  EXPECT_EQ(fieldAt<float>(record, delay + 12), 1.0f);
  const size_t object = delay + 16;
  EXPECT_NE(fieldAt<void*>(record, object), nullptr);
  EXPECT_EQ(fieldAt<void*>(record, object + P), nullptr);  // user pointer
  EXPECT_EQ(0, std::memcmp(bytes + object + 2 * P, "\x66\x45\x6F\x4E", 4));  // N o E f
  EXPECT_EQ(fieldAt<int32_t>(record, object + 2 * P + 4), 1);                 // version
  const size_t tail = object + 2 * P + 8 + 2 * P;
  EXPECT_EQ(tail + 56, P == 4 ? 144u : 192u);
  for (size_t i = 0; i < 56; ++i) EXPECT_EQ(bytes[tail + i], 0) << "reserved byte " << i;
  EXPECT_NE(record->dispatcher, nullptr);
  EXPECT_NE(record->replace, nullptr);
  EXPECT_NE(record->replaceDouble, nullptr);
  EXPECT_NE(record->accumulate, nullptr);
}
