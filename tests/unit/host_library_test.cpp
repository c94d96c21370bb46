// The host library's own parts: event blocks as hosts lay them out, the
// host callback's answers and the loader's refusal of bare names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/host/host_callback.h"
#include "tools/host/midi_block.h"
#include "tools/host/plugin_library.h"

namespace {

using pluginhost::MidiBlock;

TEST(HostMidiBlock, FillsUpToItsCapacityAndRefillsAfterClear) {
  MidiBlock block(2);
  EXPECT_EQ(block.block()->eventCount, 0);
  EXPECT_TRUE(block.add({0x90, 60, 100}, 7));
  EXPECT_TRUE(block.add({0xC0, 5, 0}));
  EXPECT_FALSE(block.add({0x80, 60, 0}));
  ASSERT_EQ(block.block()->eventCount, 2);
  const auto* first = reinterpret_cast<const MidiEvent*>(block.block()->eventList()[0]);
  EXPECT_EQ(first->type, kMidiEventType);
  EXPECT_EQ(first->byteSize, static_cast<int32_t>(sizeof(MidiEvent)));
  EXPECT_EQ(first->deltaFrames, 7);
  EXPECT_EQ(std::memcmp(first->midiData, "\x90\x3c\x64\x00", 4), 0);
  EXPECT_EQ(block.block()->eventList()[2], nullptr);

  block.clear();
  EXPECT_EQ(block.block()->eventCount, 0);
  EXPECT_TRUE(block.add({0x80, 60, 0}));
  const auto* refilled = reinterpret_cast<const MidiEvent*>(block.block()->eventList()[0]);
  EXPECT_EQ(refilled->deltaFrames, 0);
  EXPECT_EQ(static_cast<uint8_t>(refilled->midiData[0]), 0x80);
  EXPECT_EQ(block.size(), 1u);
}

TEST(HostCallback, AnswersFromItsAnswersAndRecordsOnlyWhenAsked) {
  pluginhost::HostCallLog& log = pluginhost::callLog();
  log.reset();
  log.answers.sampleRate = 48000.0f;
  log.answers.blockSize = 256;
  log.answers.name = std::string(100, 'h');
  struct Case {
    int32_t opcode;
    intptr_t answer;
  };
  for (const Case& c : {Case{HostOpcode::version, 2400}, Case{HostOpcode::getSampleRate, 48000},
                        Case{HostOpcode::getBlockSize, 256}, Case{HostOpcode::getTime, 0},
                        Case{HostOpcode::wantMidi, 0}, Case{HostOpcode::canDo, 0}})
    EXPECT_EQ(pluginhost::hostCallback(nullptr, c.opcode, 0, 0, nullptr, 0.0f), c.answer) << c.opcode;

  // A long name fills the host's 64-byte buffer, terminated, and no further.
  char text[80];
  std::memset(text, 'Q', sizeof(text));
  EXPECT_EQ(pluginhost::hostCallback(nullptr, HostOpcode::productString, 0, 0, text, 0.0f), 1);
  EXPECT_EQ(std::string(text), std::string(63, 'h'));
  EXPECT_EQ(text[64], 'Q');
  EXPECT_EQ(log.calls.size(), 7u);
  EXPECT_EQ(log.count(HostOpcode::getTime), 1);

  log.recording = false;
  pluginhost::hostCallback(nullptr, HostOpcode::version, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(log.calls.size(), 7u);
  log.reset();
}

// A library that is not there says why; on Linux a bare name is the file
// in the current directory, never one found on the system's library path.
TEST(HostPluginLibrary, MissingFilesAndBareNamesAreNotLoaded) {
  std::vector<std::string> names = {"no-such-directory/no-such-library.so"};
#if !defined(_WIN32)
  names.push_back("libc.so.6");
#endif
  for (const std::string& name : names) {
    const pluginhost::PluginLibrary library(name);
    EXPECT_FALSE(library.loaded()) << name;
    EXPECT_FALSE(library.error().empty()) << name;
    EXPECT_EQ(library.findEntry(), nullptr) << name;
  }
}

}  // namespace
