// Renders the same eight-voice passage through Tavrel Sarn2 and through
// another instrument of the interface (by default amsynth from Debian), in
// one run, and prints both real-time factors and their ratio.
//
//   sarn2_peer_compare [PEER_LIBRARY] [SECONDS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/host/hosted_plugin.h"
#include "tools/romset/romset.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 512;
constexpr int kChord[8] = {48, 52, 55, 59, 62, 65, 69, 72};

struct Result {
  double realTimeFactor = 0;
  double peak = 0;
};

// Loads a library, plays the chord for the given seconds and times only the
// audio blocks. Returns false with a message when the library is unusable.
bool measure(const std::string& path, double seconds, Result& result) {
  try {
    pluginhost::HostedPlugin hosted(path, kRate, kBlock, "sarn2 peer compare");
    pluginhost::PluginInstance& plugin = hosted.instance();
    plugin.setProcessing(true);

    std::vector<pluginhost::Midi> chord;
    for (int note : kChord) chord.push_back({0x90, static_cast<uint8_t>(note), 100});
    plugin.sendMidi(chord);

    // Only the plug-in's own work is timed: blocks are timed one by one and
    // the peak, which shows that both really play, is taken between them.
    const int blocks = static_cast<int>(seconds * kRate / kBlock);
    double elapsed = 0;
    for (int i = 0; i < blocks; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const float* out = plugin.process(kBlock);
      elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      for (int32_t s = 0; s < kBlock; ++s)
        result.peak = std::max(result.peak, static_cast<double>(std::fabs(out[s])));
    }
    result.realTimeFactor = blocks * kBlock / kRate / elapsed;
    return true;
  } catch (const pluginhost::LoadError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
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
