// A host's two threads at once: one renders blocks and sends MIDI, the
// other loads chunks and sets parameters. Built with -fsanitize=thread this
// reports any access the two make to the same state without ordering.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/host/midi_block.h"
#include "tools/romset/romset.h"

using namespace sarn2;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> chunkBytes(int32_t preset, float release, float pitchBend, int32_t filter) {
  std::vector<uint8_t> bytes(20, 0);
  std::memcpy(&bytes[0], &preset, 4);
  std::memcpy(&bytes[4], &release, 4);
  std::memcpy(&bytes[12], &pitchBend, 4);
  std::memcpy(&bytes[16], &filter, 4);
  return bytes;
}

}  // namespace

TEST(Concurrency, RenderingAndMidiBesideChunksAndParameters) {
  testhost::TempDir dir;
  ASSERT_TRUE(romset::demoRomSet().write(dir.path()));
  Sarn2VST vst(nullptr, dir.path());
  EffectRecord* record = vst.getEffectRecord();
  record->dispatcher(record, EffectOpcode::processingOnOff, 0, 1, nullptr, 0.0f);

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<long> badSamples{0};
  std::atomic<long> chunks{0};

  std::thread audio([&] {
    std::vector<pluginhost::MidiBlock> scripts;
    for (int i = 0; i < 16; ++i) {
      const auto note = static_cast<uint8_t>(36 + (i * 11) % 48);
      scripts.emplace_back(std::vector<std::array<uint8_t, 3>>{
          {static_cast<uint8_t>(0x90 | (i % 16)), note, static_cast<uint8_t>(i % 5 == 0 ? 0 : 100)},
          {0xE0, 0, static_cast<uint8_t>((i * 9) % 128)},
          {0x80, static_cast<uint8_t>(36 + ((i + 7) * 11) % 48), 0},
          {0xC0, static_cast<uint8_t>(i * 3), 0}});
    }
    const int32_t sizes[] = {64, 1, 256, 17, 512, 128};
    std::vector<float> buffer(512);
    float* outputs[1] = {buffer.data()};
    for (long n = 0; !stop.load(); ++n) {
      // Not every block brings events: chunks then reach the envelope through the hand-off alone.
      if (n % 3 == 0)
        record->dispatcher(record, EffectOpcode::processEvents, 0, 0, scripts[n % 16].block(), 0.0f);
      const int32_t size = sizes[n % 6];
      record->replace(record, nullptr, outputs, size);
      for (int32_t s = 0; s < size; ++s) {
        if (!(buffer[static_cast<size_t>(s)] >= -1.0f && buffer[static_cast<size_t>(s)] <= 1.0f))
          ++badSamples;
      }
      ++blocks;
    }
  });

  std::thread control([&] {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float releases[] = {0.0f, 0.5f, 1.0f, 0.05f, nan, 1e30f};
    const float bends[] = {0.0f, 0.5f, -1.0f, 0.25f, std::numeric_limits<float>::infinity(), -0.125f};
    char text[64];
    const auto start = Clock::now();
    for (long n = 0; Clock::now() - start < std::chrono::milliseconds(1500); ++n) {
      std::vector<uint8_t> bytes = chunkBytes(static_cast<int32_t>(n % 40) - 4, releases[n % 6],
                                              bends[(n / 6) % 6], static_cast<int32_t>(n % 7 != 0));
      record->dispatcher(record, EffectOpcode::setChunk, 0, 20, bytes.data(), 0.0f);
      record->setParameter(record, static_cast<int32_t>(n % 3), static_cast<float>((n % 32) / 31.0));
      record->getParameter(record, static_cast<int32_t>((n + 1) % 3));
      record->dispatcher(record, EffectOpcode::getParameterDisplay, static_cast<int32_t>(n % 3), 0, text,
                         0.0f);
      void* data = nullptr;
      record->dispatcher(record, EffectOpcode::getChunk, 0, 0, &data, 0.0f);
      if (n % 50 == 0)
        record->dispatcher(record, EffectOpcode::setSampleRate, 0, 0, nullptr,
                           n % 100 == 0 ? 48000.0f : 44100.0f);
      ++chunks;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stop.store(true);
  });

  control.join();
  audio.join();
  EXPECT_GT(blocks.load(), 100);
  EXPECT_GT(chunks.load(), 100);
  EXPECT_EQ(badSamples.load(), 0);

  // Once the threads are done, a chunk's envelope reaches the next block.
  std::vector<uint8_t> bytes = chunkBytes(9, 0.5f, 0.0f, 1);
  ASSERT_EQ(record->dispatcher(record, EffectOpcode::setChunk, 0, 20, bytes.data(), 0.0f), 1);
  std::vector<float> buffer(256);
  float* outputs[1] = {buffer.data()};
  record->replace(record, nullptr, outputs, 256);
  FilterEnvelope expected;
  expected.rebuild(wholePresetRecord(vst.engine().roms(), 9));
  ASSERT_EQ(vst.engine().filterEnvelope().size(), expected.size());
  for (int32_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(vst.engine().filterEnvelope()[i], expected[i]) << "level " << i;
  for (float x : buffer) EXPECT_TRUE(x >= -1.0f && x <= 1.0f);
}
