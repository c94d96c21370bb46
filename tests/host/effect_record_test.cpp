// The effect record a host receives from the entry point, and the entry
// point's own rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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
  EXPECT_EQ(fieldAt<void*>(record, object + P), nullptr);                    // user pointer
  EXPECT_EQ(0, std::memcmp(bytes + object + 2 * P, "\x66\x45\x6F\x4E", 4));  // N o E f
  EXPECT_EQ(fieldAt<int32_t>(record, object + 2 * P + 4), 1);                // version
  const size_t tail = object + 2 * P + 8 + 2 * P;
  EXPECT_EQ(tail + 56, P == 4 ? 144u : 192u);
  for (size_t i = 0; i < 56; ++i) EXPECT_EQ(bytes[tail + i], 0) << "reserved byte " << i;
  EXPECT_NE(record->dispatcher, nullptr);
  EXPECT_NE(record->replace, nullptr);
  EXPECT_NE(record->replaceDouble, nullptr);
  EXPECT_NE(record->accumulate, nullptr);
}

// The double-precision and accumulating entries exist but do nothing: the
// host's buffers come back exactly as they went in.
TEST(EffectRecord, DoubleAndAccumulatingEntriesLeaveBuffersUntouched) {
  PlatformRoms noRoms;
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  recorder().reset();
  Instance instance(library);
  EffectRecord* record = instance.effect();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->flags & 0x1000, 0);

  std::vector<double> doubleIn(64, 0.25), doubleOut(64, -0.75);
  double* doubleInputs[1] = {doubleIn.data()};
  double* doubleOutputs[1] = {doubleOut.data()};
  record->replaceDouble(record, doubleInputs, doubleOutputs, 64);
  for (double sample : doubleOut) ASSERT_EQ(sample, -0.75);
  for (double sample : doubleIn) ASSERT_EQ(sample, 0.25);

  std::vector<float> floatIn(64, 0.5f), floatOut(64, 0.125f);
  float* floatInputs[1] = {floatIn.data()};
  float* floatOutputs[1] = {floatOut.data()};
  record->accumulate(record, floatInputs, floatOutputs, 64);
  for (float sample : floatOut) ASSERT_EQ(sample, 0.125f);
  for (float sample : floatIn) ASSERT_EQ(sample, 0.5f);

  // Neither reads its arguments at all.
  record->replaceDouble(record, nullptr, nullptr, 1 << 20);
  record->accumulate(record, nullptr, nullptr, -1);
  EXPECT_EQ(recorder().calls.size(), 1u);  // the version query only
}

// Nothing a host does through the record rewrites the record itself.
TEST(EffectRecord, StaysFixedThroughUse) {
  PlatformRoms noRoms;
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  recorder().reset();
  Instance instance(library);
  EffectRecord* record = instance.effect();
  ASSERT_NE(record, nullptr);
  std::vector<uint8_t> before(sizeof(EffectRecord));
  std::memcpy(before.data(), record, before.size());

  instance.dispatch(EffectOpcode::open);
  instance.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, 48000.0f);
  instance.dispatch(EffectOpcode::setBlockSize, 0, 256);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 1);
  instance.setParameter(0, 0.5f);
  instance.setParameter(1, 0.9f);
  instance.setParameter(2, 0.0f);
  instance.dispatch(EffectOpcode::setProgram, 0, -4);
  std::vector<uint8_t> chunk = {5, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(instance.setChunk(chunk), 1);
  instance.render(128);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 0);

  EXPECT_EQ(0, std::memcmp(before.data(), record, before.size()));
}
