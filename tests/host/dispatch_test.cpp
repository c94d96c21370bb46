// What a host gets back for each opcode through the dispatcher entry.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tests/host/host_fixture.h"

using namespace testhost;
using hosttest::expectPlainHostCall;
using hosttest::GuardedText;
using hosttest::HostTest;

namespace {

class Dispatch : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    instance = std::make_unique<Instance>(library);
    ASSERT_NE(instance->effect(), nullptr);
    recorder().calls.clear();
  }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) {
    return instance->dispatch(opcode, index, value, ptr, opt);
  }
  std::unique_ptr<Instance> instance;
};

struct Answer {
  int32_t opcode;
  intptr_t expected;
};

}  // namespace

TEST_F(Dispatch, IdentifyWhateverTheArguments) {
  GuardedText text;
  EXPECT_EQ(dispatch(22), 0x4E764566);
  EXPECT_EQ(dispatch(22, 5, -1, text.data(), 3.5f), 0x4E764566);
  EXPECT_EQ(dispatch(22, -1, std::numeric_limits<intptr_t>::max(), nullptr, -1.0f), 0x4E764566);
  EXPECT_TRUE(text.untouched());
}

// Fixed answers of the instrument and the framework defaults; none of them
// talks to the host.
TEST_F(Dispatch, FixedAnswers) {
  const Answer answers[] = {
      {58, 2400}, {35, 2}, {49, 1000}, {26, 1}, {63, -1}, {52, 0}, {78, 0}, {79, 0}, {71, 0},
      {72, 0},    {67, 0}, {68, 0},    {65, 0}, {62, 0},  {64, 0}, {70, 0}, {75, 0}, {76, 0},
      {77, 0},    {74, 0}, {44, 0},    {41, 0}, {40, 0},  {39, 0}, {38, 0}, {50, 0}, {27, 0},
      {0, 0},     {4, 0},  {42, 0},    {33, 0}, {34, 0},  {56, 0}, {66, 0},
  };
  for (const Answer& a : answers) {
    GuardedText text;
    EXPECT_EQ(dispatch(a.opcode, 0, 0, text.data()), a.expected) << "opcode " << a.opcode;
    EXPECT_EQ(dispatch(a.opcode, 1, 1, text.data(), 1.0f), a.expected) << "opcode " << a.opcode;
    EXPECT_TRUE(text.untouched()) << "opcode " << a.opcode;
  }
  EXPECT_TRUE(recorder().calls.empty());
}

TEST_F(Dispatch, TotalSampleCountAnswersItsValue) {
  for (intptr_t value : {intptr_t{0}, intptr_t{123456}, intptr_t{-5}, std::numeric_limits<intptr_t>::max(),
                         std::numeric_limits<intptr_t>::min()})
    EXPECT_EQ(dispatch(73, 0, value), value);
}

// Opcodes outside the table, editor requests without an editor, negative
// and too large numbers: 0, nothing written, nothing asked of the host.
TEST_F(Dispatch, UnhandledOpcodesAnswerZero) {
  const int32_t opcodes[] = {9,
                             13,
                             14,
                             15,
                             16,
                             17,
                             18,
                             19,
                             20,
                             21,
                             28,
                             30,
                             31,
                             32,
                             36,
                             37,
                             43,
                             46,
                             53,
                             54,
                             55,
                             57,
                             59,
                             60,
                             61,
                             80,
                             81,
                             1000,
                             -1,
                             -2,
                             -22,
                             -58,
                             -1000,
                             std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max()};
  for (int32_t opcode : opcodes) {
    GuardedText text;
    EXPECT_EQ(dispatch(opcode, 1, 1, text.data(), 1.0f), 0) << "opcode " << opcode;
    EXPECT_EQ(dispatch(opcode), 0) << "opcode " << opcode;
    EXPECT_TRUE(text.untouched()) << "opcode " << opcode;
  }
  EXPECT_TRUE(recorder().calls.empty());
  EXPECT_EQ(dispatch(22), 0x4E764566);  // still alive
}

// With no program list, opcode 2 never reaches the presets from 0 upward,
// and opcode 3 goes on reporting the preset chosen by other means.
TEST_F(Dispatch, ProgramOpcodesWithoutAProgramList) {
  instance->setParameter(0, 7.0f / 31.0f);
  ASSERT_EQ(dispatch(3), 7);
  for (intptr_t value : {0, 5, 31, 32, 1000}) {
    EXPECT_EQ(dispatch(2, 0, value), 0);
    EXPECT_EQ(dispatch(3), 7) << "after opcode 2 with " << value;
  }
  EXPECT_EQ(instance->sendMidi({{0xC0, 9, 0}}), 1);
  EXPECT_EQ(dispatch(3), 9);
  EXPECT_EQ(instance->setChunk({12, 0, 0, 0, 0, 0, 0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}), 1);
  EXPECT_EQ(dispatch(3), 12);
}

// Only the low 32 bits of the program value count; a 64-bit host's large
// value is not a small program number in disguise.
TEST_F(Dispatch, ProgramValueIsComparedAsInt32) {
  if (sizeof(intptr_t) < 8) GTEST_SKIP() << "values are 32 bits wide here";
  const int64_t high = int64_t{1} << 32;
  EXPECT_EQ(dispatch(2, 0, static_cast<intptr_t>(high + 5)), 0);
  EXPECT_EQ(dispatch(3), 0);
  EXPECT_EQ(dispatch(2, 0, static_cast<intptr_t>(high - 3)), 0);  // low half is -3
  EXPECT_EQ(dispatch(3), -3);
}

TEST_F(Dispatch, CapabilityQueriesAnswerZero) {
  for (const char* capability :
       {"receiveVstMidiEvent", "receiveVstEvents", "sendVstMidiEvent", "bypass", ""}) {
    std::vector<char> text(capability, capability + std::strlen(capability) + 1);
    EXPECT_EQ(dispatch(51, 0, 0, text.data()), 0) << capability;
  }
  EXPECT_EQ(dispatch(51), 0);
}

TEST_F(Dispatch, ProgramNamesAreEmptyOrUntouched) {
  GuardedText byIndex;
  EXPECT_EQ(dispatch(29, 0, 0, byIndex.data()), 0);
  EXPECT_EQ(dispatch(29, 3, 1, byIndex.data()), 0);
  EXPECT_TRUE(byIndex.untouched());

  GuardedText current, label;
  EXPECT_EQ(dispatch(5, 0, 0, current.data()), 0);
  EXPECT_EQ(current.at(0), 0);
  EXPECT_EQ(dispatch(6, 1, 0, label.data()), 0);
  EXPECT_EQ(label.at(0), 0);

  GuardedText rename;
  std::strcpy(rename.data(), "Mine");
  EXPECT_EQ(dispatch(4, 0, 0, rename.data()), 0);
  EXPECT_EQ(dispatch(5, 0, 0, current.data()), 0);
  EXPECT_EQ(current.at(0), 0);
}

TEST_F(Dispatch, SpeakerArrangementQueryStoresNullThroughBoth) {
  int dummy = 0;
  void* inputs = &dummy;
  void* outputs = &dummy;
  EXPECT_EQ(dispatch(69, 0, reinterpret_cast<intptr_t>(&inputs), &outputs), 0);
  EXPECT_EQ(inputs, nullptr);
  EXPECT_EQ(outputs, nullptr);
}

// Processing on asks for MIDI exactly once per switch-on; off asks nothing.
TEST_F(Dispatch, ProcessingOnAsksForMidi) {
  EXPECT_EQ(dispatch(12, 0, 0), 0);
  EXPECT_TRUE(recorder().calls.empty());

  EXPECT_EQ(dispatch(12, 0, 1), 0);
  ASSERT_EQ(recorder().calls.size(), 1u);
  expectPlainHostCall(recorder().calls[0], instance->effect(), 6, 1);

  EXPECT_EQ(dispatch(12, 0, -1), 0);  // any non-zero value switches on
  EXPECT_EQ(recorder().count(6), 2);
  EXPECT_EQ(dispatch(12, 0, 0), 0);
  EXPECT_EQ(recorder().calls.size(), 2u);
}

// Identity texts: copied up to their bound, zero-filled to it, a zero at the
// bound, and not one byte further.
TEST_F(Dispatch, IdentityTexts) {
  GuardedText name, vendor, product;
  EXPECT_EQ(dispatch(45, 0, 0, name.data()), 1);
  EXPECT_TRUE(name.holdsBounded("Tavrel Sarn2", 32));
  EXPECT_EQ(dispatch(47, 0, 0, vendor.data()), 1);
  EXPECT_TRUE(vendor.holdsBounded("Movrik / Kestrin", 64));
  EXPECT_EQ(dispatch(48, 0, 0, product.data()), 1);
  EXPECT_TRUE(product.holdsBounded("Tavrel Sarn2 VST", 64));
  EXPECT_TRUE(recorder().calls.empty());
}

// A host that passes no buffer to an opcode that writes through ptr gets
// its ordinary answer and nothing is written anywhere.
TEST_F(Dispatch, NullBuffersAreSafe) {
  const Answer answers[] = {{5, 0},  {6, 0},  {7, 0},  {8, 0},  {23, 0}, {29, 0},  {33, 0}, {34, 0},
                            {45, 0}, {47, 0}, {48, 0}, {56, 0}, {62, 0}, {63, -1}, {64, 0}, {65, 0},
                            {66, 0}, {69, 0}, {70, 0}, {4, 0},  {24, 0}, {27, 0},  {51, 0}};
  int dummy = 0;
  void* spare = &dummy;
  for (const Answer& a : answers) {
    // Opcode 69 carries a second address in value; it gets a real one.
    const intptr_t value = a.opcode == 69 ? reinterpret_cast<intptr_t>(&spare) : 20;
    for (int32_t index : {0, 1, 2, 3}) {
      EXPECT_EQ(dispatch(a.opcode, index, 0, nullptr), a.expected) << "opcode " << a.opcode;
      EXPECT_EQ(dispatch(a.opcode, index, value, nullptr), a.expected) << "opcode " << a.opcode;
    }
  }
  EXPECT_EQ(spare, nullptr);
  EXPECT_EQ(dispatch(22), 0x4E764566);
  EXPECT_EQ(instance->text(45), "Tavrel Sarn2");
}
