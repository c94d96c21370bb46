// The 20-byte state chunk a host saves and restores.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tests/host/host_fixture.h"

using namespace testhost;
using hosttest::expectPlainHostCall;
using hosttest::HostTest;

namespace {

using Bytes = std::vector<uint8_t>;

void putInt(Bytes& chunk, size_t offset, int32_t value) { std::memcpy(chunk.data() + offset, &value, 4); }
void putBits(Bytes& chunk, size_t offset, uint32_t bits) { std::memcpy(chunk.data() + offset, &bits, 4); }
uint32_t bitsAt(const Bytes& chunk, size_t offset) {
  uint32_t bits;
  std::memcpy(&bits, chunk.data() + offset, 4);
  return bits;
}

Bytes chunkOf(int32_t preset, uint32_t release, uint32_t reserved, uint32_t bend, int32_t filter) {
  Bytes chunk(20);
  putInt(chunk, 0, preset);
  putBits(chunk, 4, release);
  putBits(chunk, 8, reserved);
  putBits(chunk, 12, bend);
  putInt(chunk, 16, filter);
  return chunk;
}

constexpr uint32_t kHalf = 0x3F000000;     // 0.5f
constexpr uint32_t kQuarter = 0x3E800000;  // 0.25f

const Bytes kFreshChunk = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};

class Chunk : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    instance = std::make_unique<Instance>(library);
    ASSERT_NE(instance->effect(), nullptr);
    recorder().calls.clear();
  }
  int32_t preset() const { return static_cast<int32_t>(instance->dispatch(3)); }
  // Sets a chunk with the bank-or-program flag as given.
  intptr_t load(const Bytes& chunk, int32_t isPreset = 0) const {
    return instance->dispatch(24, isPreset, static_cast<intptr_t>(chunk.size()),
                              const_cast<uint8_t*>(chunk.data()));
  }
  Bytes save(int32_t isPreset = 0) const {
    void* data = nullptr;
    const intptr_t size = instance->dispatch(23, isPreset, 0, &data);
    if (data == nullptr || size != 20) return {};
    return Bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + 20);
  }
  std::unique_ptr<Instance> instance;
};

}  // namespace

TEST_F(Chunk, FreshChunkBytes) {
  void* data = nullptr;
  EXPECT_EQ(instance->dispatch(23, 0, 0, &data), 20);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + 20), kFreshChunk);
  EXPECT_EQ(save(1), kFreshChunk);  // banks and single programs alike
  EXPECT_TRUE(recorder().calls.empty());
}

TEST_F(Chunk, SavedStateLoadsIntoAnotherInstance) {
  instance->setParameter(0, 5.0f / 31.0f);
  instance->setParameter(1, 0.25f);
  instance->setParameter(2, 0.0f);
  ASSERT_EQ(instance->sendMidi({{0xE0, 0x00, 0x60}}), 1);  // bend +0.5
  const Bytes saved = save();
  EXPECT_EQ(saved, chunkOf(5, kQuarter, 0, kHalf, 0));

  Instance other(library);
  ASSERT_NE(other.effect(), nullptr);
  EXPECT_EQ(other.setChunk(saved), 1);
  EXPECT_EQ(other.chunk(), saved);
  EXPECT_EQ(other.dispatch(3), 5);
  EXPECT_EQ(other.getParameter(1), 0.25f);
  EXPECT_EQ(other.getParameter(2), 0.0f);
}

// A block of the wrong size or no block at all is refused and changes
// nothing, not even the host's display.
TEST_F(Chunk, WrongSizeOrNoDataIsRefused) {
  const Bytes before = save();
  Bytes candidate = chunkOf(9, kQuarter, 0, kHalf, 0);
  for (intptr_t size : {0, 1, 19, 21, 40, -20, -1}) {
    candidate.resize(48, 0);
    EXPECT_EQ(instance->dispatch(24, 0, size, candidate.data()), 0) << size;
  }
  if (sizeof(intptr_t) == 8) {
    const intptr_t twentyPlusHigh = static_cast<intptr_t>((int64_t{1} << 32) + 20);
    EXPECT_EQ(instance->dispatch(24, 0, twentyPlusHigh, candidate.data()), 0);
  }
  EXPECT_EQ(instance->dispatch(24, 0, 20, nullptr), 0);
  EXPECT_EQ(save(), before);
  EXPECT_EQ(recorder().count(42), 0);
}

TEST_F(Chunk, PresetIsClampedOnLoad) {
  const struct {
    int32_t stored, selected;
  } cases[] = {{-3, 0},
               {99, 31},
               {-1, 0},
               {32, 31},
               {0, 0},
               {31, 31},
               {17, 17},
               {std::numeric_limits<int32_t>::min(), 0},
               {std::numeric_limits<int32_t>::max(), 31}};
  for (const auto& c : cases) {
    EXPECT_EQ(load(chunkOf(c.stored, kHalf, 0, 0, 1)), 1) << c.stored;
    EXPECT_EQ(preset(), c.selected) << c.stored;
    EXPECT_EQ(instance->getParameter(0), static_cast<float>(c.selected / 31.0));
    EXPECT_EQ(bitsAt(save(), 0), static_cast<uint32_t>(c.selected));
  }
}

TEST_F(Chunk, AnyNonZeroFilterFieldSwitchesOn) {
  for (int32_t field : {2, 1, -1, 0x100, 0x10000, std::numeric_limits<int32_t>::min()}) {
    ASSERT_EQ(load(chunkOf(0, kHalf, 0, 0, 0)), 1);
    ASSERT_EQ(instance->getParameter(2), 0.0f);
    EXPECT_EQ(load(chunkOf(0, kHalf, 0, 0, field)), 1);
    EXPECT_EQ(instance->getParameter(2), 1.0f) << field;
    EXPECT_EQ(bitsAt(save(), 16), 1u) << "saved back as 1";
  }
}

// Floats are taken without any test and come back bit for bit: NaNs with
// their payloads, infinities, huge and tiny values, negative zero.
TEST_F(Chunk, FloatFieldsRoundTripBitForBit) {
  const uint32_t patterns[] = {0x7FC00000, 0xFFC00000, 0x7FC12345, 0x7F800001, 0x7FBFFFFF,
                               0x7F800000, 0xFF800000, 0x7F7FFFFF, 0xFF7FFFFF, 0x00000001,
                               0x80000000, 0xDEADBEEF, 0x4B189680};
  for (uint32_t bits : patterns) {
    const Bytes chunk = chunkOf(4, bits, bits ^ 0x1, bits, 1);
    EXPECT_EQ(load(chunk), 1);
    const Bytes back = save();
    ASSERT_EQ(back.size(), 20u);
    EXPECT_EQ(bitsAt(back, 4), bits) << std::hex << "release " << bits;
    EXPECT_EQ(bitsAt(back, 8), bits ^ 0x1) << std::hex << "reserved " << bits;
    EXPECT_EQ(bitsAt(back, 12), bits) << std::hex << "pitch bend " << bits;
  }
}

// A successful load asks the host once to refresh its display.
TEST_F(Chunk, LoadAsksForOneDisplayRefresh) {
  EXPECT_EQ(load(kFreshChunk), 1);
  ASSERT_EQ(recorder().calls.size(), 1u);
  expectPlainHostCall(recorder().calls[0], instance->effect(), 42, 0);

  // The host's answer does not matter.
  recorder().answers.updatesDisplay = 1;
  EXPECT_EQ(load(kFreshChunk), 1);
  EXPECT_EQ(recorder().count(42), 2);
}

// The bank-or-program flag makes no difference in either direction.
TEST_F(Chunk, BankOrProgramFlagIsIgnored) {
  const Bytes chunk = chunkOf(11, kQuarter, 0, kHalf, 0);
  for (int32_t flag : {1, -1, 0}) {
    ASSERT_EQ(load(kFreshChunk, 0), 1);
    EXPECT_EQ(load(chunk, flag), 1) << flag;
    EXPECT_EQ(save(flag), chunk) << flag;
    EXPECT_EQ(save(0), chunk) << flag;
  }
}

// Hosts hand over whatever memory holds the chunk, aligned or not.
TEST_F(Chunk, UnalignedBlockLoads) {
  const Bytes chunk = chunkOf(6, kQuarter, 0x12345678, kHalf, 1);
  std::vector<uint8_t> storage(64, 0xEE);
  for (size_t shift = 1; shift < 4; ++shift) {
    std::memcpy(storage.data() + shift, chunk.data(), chunk.size());
    ASSERT_EQ(load(kFreshChunk), 1);
    EXPECT_EQ(instance->dispatch(24, 0, 20, storage.data() + shift), 1);
    EXPECT_EQ(save(), chunk) << "shift " << shift;
  }
}

// The block handed out is the instrument's; it stays readable and shows the
// state of the latest request.
TEST_F(Chunk, SavedBlockFollowsTheLatestRequest) {
  void* first = nullptr;
  ASSERT_EQ(instance->dispatch(23, 0, 0, &first), 20);
  instance->dispatch(22);
  instance->getParameter(1);
  EXPECT_EQ(Bytes(static_cast<uint8_t*>(first), static_cast<uint8_t*>(first) + 20), kFreshChunk);

  instance->setParameter(1, 0.25f);
  void* second = nullptr;
  ASSERT_EQ(instance->dispatch(23, 0, 0, &second), 20);
  EXPECT_EQ(bitsAt(Bytes(static_cast<uint8_t*>(second), static_cast<uint8_t*>(second) + 20), 4), kQuarter);
}

// A load leaves the record, the parameters it does not carry and the
// instance's other answers alone.
TEST_F(Chunk, LoadChangesOnlyTheChunkFields) {
  EXPECT_EQ(load(chunkOf(3, kQuarter, 0, 0, 0)), 1);
  EXPECT_EQ(instance->effect()->flags, 0x130);
  EXPECT_EQ(instance->dispatch(22), 0x4E764566);
  EXPECT_EQ(instance->text(45), "Tavrel Sarn2");
  EXPECT_EQ(instance->dispatch(2, 0, 5), 0);
  EXPECT_EQ(preset(), 3);
}
