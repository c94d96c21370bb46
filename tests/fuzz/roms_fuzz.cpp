// ROM files of any size and content, missing, or present as directories,
// read at construction; then notes at the edges of the pitch table, presets
// at the edges of the preset table, pitch bends, a chunk load and audio.
// With no wave samples or no image at all the output must be silence.
//
// Input: ten file descriptions of three bytes (mode modulo 3: missing,
// a file, a directory; then a 14-bit size), a preset byte, then the bytes
// the files are cut from: the ten files together repeat them from the
// start, so the preset table and the tables see the same bytes wherever
// the sizes put them.
#include <cstdio>
#include <filesystem>

#include "instrument/engine/rom_loader.h"
#include "tests/fuzz/fuzz_support.h"

using namespace sarn2;

using namespace fuzzhost;
namespace fs = std::filesystem;

namespace {

constexpr int kFileCount = static_cast<int>(kRomFiles.size());

enum class Mode { missing, file, directory };

struct RomFile {
  Mode mode = Mode::missing;
  size_t size = 0;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  require(file != nullptr, "harness: cannot write a ROM file");
  if (!bytes.empty())
    require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "harness: short write");
  std::fclose(file);
}

bool present(const RomFile& file) { return file.mode == Mode::file && file.size > 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  RomFile files[kFileCount];
  for (RomFile& file : files) {
    file.mode = static_cast<Mode>(input.byte() % 3);
    file.size = input.u16() & 0x3FFF;
  }
  const uint8_t chosenPreset = input.byte();
  const uint8_t* pool = input.current();
  const size_t poolSize = input.remaining();

  const std::string directory = scratchDirectory() + "roms/";
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  fs::create_directories(directory);
  size_t offset = 0;
  for (int i = 0; i < kFileCount; ++i) {
    const std::string path = directory + kRomFiles[static_cast<size_t>(i)].name + ".BIN";
    if (files[i].mode == Mode::directory) {
      fs::create_directories(path);
    } else if (files[i].mode == Mode::file) {
      std::vector<uint8_t> bytes(files[i].size, 0);
      for (size_t k = 0; k < bytes.size() && poolSize > 0; ++k) bytes[k] = pool[(offset + k) % poolSize];
      offset += bytes.size();
      writeFile(path, bytes);
    }
  }
  // Files 2-3 and 5-6 (DD13/DD14, DD18/DD19) hold the wave samples.
  const bool noWaves = !(present(files[2]) && present(files[3])) && !(present(files[5]) && present(files[6]));
  bool noImage = true;
  for (const RomFile& file : files) noImage = noImage && !present(file);
  const bool silent = noWaves || noImage;

  EffectRecord* effect = openInstance(directory);
  auto renderBlock = [&](int32_t frames) {
    for (float sample : renderChecked(effect, frames))
      require(!silent || sample == 0.0f, "no ROM sound, silence");
  };
  renderBlock(128);
  // Program 0xFF is -1 as a signed data byte: setProgram stores -1.
  const uint8_t programs[] = {0, static_cast<uint8_t>(chosenPreset & 0x7F), 31, 0xFF};
  const uint8_t notes[] = {0, 23, 24, 60, 112, 113, 127, 0x80, 0xFF};
  for (uint8_t program : programs) {
    std::vector<EventSpec> events{{kMidiEventType, 0xC0, program, 0}};
    for (uint8_t note : notes) events.push_back({kMidiEventType, 0x90, note, 100});
    sendEvents(effect, events);
    renderBlock(512);
    sendEvents(effect, {{kMidiEventType, 0xE0, 0x7F, 0x7F}});
    renderBlock(128);
    sendEvents(effect, {{kMidiEventType, 0xE0, 0x00, 0x00}});
    renderBlock(128);
    std::vector<EventSpec> offs;
    for (uint8_t note : notes) offs.push_back({kMidiEventType, 0x80, note, 0});
    sendEvents(effect, offs);
    renderBlock(256);
  }
  uint8_t chunk[20] = {chosenPreset, 0, 0, 0};
  chunk[16] = 1;
  effect->dispatcher(effect, EffectOpcode::setChunk, 0, sizeof(chunk), chunk, 0.0f);
  sendEvents(effect, {{kMidiEventType, 0x90, 60, 100}});
  renderBlock(512);
  closeInstance(effect);
  return 0;
}
