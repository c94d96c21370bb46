// Renders the same eight-voice passage through Tavrel Sarn2 and through
// another instrument of the interface (by default amsynth from Debian), in
// one run, and prints both real-time factors and their ratio.
//
//   sarn2_peer_compare [PEER_LIBRARY] [SECONDS]
#include <dlfcn.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"
#include "tests/support/midi_block.h"
#include "tools/romset/romset.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 512;
constexpr int kChord[8] = {48, 52, 55, 59, 62, 65, 69, 72};

intptr_t hostCallback(EffectRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
  switch (opcode) {
    case HostOpcode::version:
      return 2400;
    case HostOpcode::getSampleRate:
      return static_cast<intptr_t>(kRate);
    case HostOpcode::getBlockSize:
      return kBlock;
    default:
      return 0;
  }
}

struct Result {
  double realTimeFactor = 0;
  double peak = 0;
};

// Loads a library, plays the chord for the given seconds and times only the
// audio blocks. Returns false with a message when the library is unusable.
bool measure(const std::string& path, double seconds, Result& result) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
    return false;
  }
  using Entry = EffectRecord* (*)(HostCallback);
  auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
  if (entry == nullptr) entry = reinterpret_cast<Entry>(dlsym(library, "main"));
  EffectRecord* effect = entry != nullptr ? entry(&hostCallback) : nullptr;
  if (effect == nullptr || effect->magic != kEffectMagic) {
    std::fprintf(stderr, "%s: no plug-in instance\n", path.c_str());
    return false;
  }
  effect->dispatcher(effect, EffectOpcode::open, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, EffectOpcode::setSampleRate, 0, 0, nullptr, kRate);
  effect->dispatcher(effect, EffectOpcode::setBlockSize, 0, kBlock, nullptr, 0.0f);
  effect->dispatcher(effect, EffectOpcode::processingOnOff, 0, 1, nullptr, 0.0f);

  std::vector<testhost::Midi> chord;
  for (int note : kChord) chord.push_back({0x90, static_cast<uint8_t>(note), 100});
  testhost::MidiBlock block(chord);
  effect->dispatcher(effect, EffectOpcode::processEvents, 0, 0, block.block(), 0.0f);

  const int32_t outputs = std::max(effect->outputCount, 1);
  const int32_t inputs = std::max(effect->inputCount, 1);
  std::vector<std::vector<float>> outBuffers(static_cast<size_t>(outputs), std::vector<float>(kBlock));
  std::vector<std::vector<float>> inBuffers(static_cast<size_t>(inputs), std::vector<float>(kBlock, 0.0f));
  std::vector<float*> outPointers, inPointers;
  for (auto& buffer : outBuffers) outPointers.push_back(buffer.data());
  for (auto& buffer : inBuffers) inPointers.push_back(buffer.data());

  // Only the plug-in's own work is timed: blocks are timed one by one and
  // the peak, which shows that both really play, is taken between them.
  const int blocks = static_cast<int>(seconds * kRate / kBlock);
  double elapsed = 0;
  for (int i = 0; i < blocks; ++i) {
    const auto start = std::chrono::steady_clock::now();
    effect->replace(effect, inPointers.data(), outPointers.data(), kBlock);
    elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (float sample : outBuffers[0])
      result.peak = std::max(result.peak, static_cast<double>(std::fabs(sample)));
  }
  result.realTimeFactor = blocks * kBlock / kRate / elapsed;

  effect->dispatcher(effect, EffectOpcode::processingOnOff, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, EffectOpcode::close, 0, 0, nullptr, 0.0f);
  dlclose(library);
  return true;
}

std::string besideProgram(const char* name) {
  return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string peer = argc > 1 ? argv[1] : "/usr/lib/vst/amsynth_vst.so";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;

  // Our instrument reads the demo ROM set from a private data directory.
  const std::filesystem::path dataHome =
      std::filesystem::temp_directory_path() / ("sarn2-peer-" + std::to_string(::getpid()));
  romset::demoRomSet().write((dataHome / "sarn2" / "roms").string());
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);

  Result ours, theirs;
  const bool ok = measure(besideProgram("sarn2.so"), seconds, ours) && measure(peer, seconds, theirs);
  std::filesystem::remove_all(dataHome);
  if (!ok) return 1;
  std::printf("eight held voices, %.0f s at 44.1 kHz, blocks of %d, one core\n", seconds, kBlock);
  std::printf("  Tavrel Sarn2  %10.0fx real time (peak %.3f)\n", ours.realTimeFactor, ours.peak);
  std::printf("  %-12s  %10.0fx real time (peak %.3f)\n", std::filesystem::path(peer).stem().c_str(),
              theirs.realTimeFactor, theirs.peak);
  std::printf("  ratio         %10.1fx\n", ours.realTimeFactor / theirs.realTimeFactor);
  return 0;
}
