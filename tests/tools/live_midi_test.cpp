// The live player's MIDI byte stream and its queue to the main thread.
#include <gtest/gtest.h>

#include <vector>

#include "tools/sarn2/live_midi.h"
#include "tools/sarn2/spsc_queue.h"

using sarn2tool::LiveMidiParser;
using MidiMessage = pluginhost::Midi;

namespace {

std::vector<MidiMessage> parse(const std::vector<uint8_t>& bytes, uint64_t* other = nullptr) {
  LiveMidiParser parser;
  std::vector<MidiMessage> out;
  MidiMessage m{};
  for (uint8_t b : bytes)
    if (parser.take(b, m)) out.push_back(m);
  if (other) *other = parser.otherMessages();
  return out;
}

}  // namespace

TEST(LiveMidi, ChannelMessagesPassAndSystemMessagesAreTakenOut) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::vector<MidiMessage> messages;
    uint64_t other;
  };
  const Case cases[] = {
      {"running status", {0x9F, 0x45, 0x64, 0x48, 0x00}, {{0x9F, 0x45, 0x64}, {0x9F, 0x48, 0x00}}, 0},
      {"one-byte messages",
       {0xC2, 0x05, 0x06, 0xD0, 0x40},
       {{0xC2, 0x05, 0}, {0xC2, 0x06, 0}, {0xD0, 0x40, 0}},
       0},
      {"real time inside a message", {0x90, 0x45, 0xF8, 0x64, 0xFE}, {{0x90, 0x45, 0x64}}, 2},
      {"exclusive, then data without status",
       {0x90, 0x45, 0x64, 0xF0, 0x7E, 0x45, 0x64, 0xF7, 0x45, 0x64},
       {{0x90, 0x45, 0x64}},
       1},
      {"exclusive cut short by a status byte", {0xF0, 0x01, 0x02, 0xE0, 0x00, 0x40}, {{0xE0, 0x00, 0x40}}, 1},
      {"song position skips its data",
       {0xB0, 0x07, 0x64, 0xF2, 0x10, 0x20, 0x07, 0x64},
       {{0xB0, 0x07, 0x64}},
       1},
      {"a new status drops a half message", {0x90, 0x45, 0x80, 0x45, 0x00}, {{0x80, 0x45, 0x00}}, 0},
      {"stray data and end of exclusive", {0x45, 0x64, 0xF7, 0x40}, {}, 0},
  };
  for (const Case& c : cases) {
    uint64_t other = 0;
    EXPECT_EQ(parse(c.bytes, &other), c.messages) << c.what;
    EXPECT_EQ(other, c.other) << c.what;
  }
}

TEST(LiveMidi, QueueKeepsOrderAcrossTheWrapAndRefusesWhenFull) {
  sarn2tool::SpscQueue<int> queue(3);
  int value = 0;
  EXPECT_FALSE(queue.pop(value));
  // The ring rounds its size up, so fill it to the point of refusal.
  int pushed = 0;
  while (queue.push(pushed)) ++pushed;
  EXPECT_GE(pushed, 3);
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < pushed; ++i) {
      ASSERT_TRUE(queue.pop(value));
      EXPECT_EQ(value, round * 100 + i);
      EXPECT_TRUE(queue.push((round + 1) * 100 + i));  // wraps around the end
    }
  }
  EXPECT_FALSE(queue.push(-1));
}
