#include "bench/bench_instruments.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tools/host/midi_block.h"
#include "tools/romset/romset.h"

using namespace sarn2;

namespace bench {

namespace {

constexpr int kChord[8] = {48, 52, 55, 59, 62, 65, 69, 72};

struct RomDirectory {
  std::string path;
  RomDirectory() {
    path = (std::filesystem::temp_directory_path() / ("sarn2-bench-" + std::to_string(::getpid()))).string() +
           "/";
    romset::RomSet set = romset::RomSet::blank();
    set.setPitchTable(romset::equalTemperedPitchTable());
    for (int bank = 0; bank < romset::kBankCount; ++bank) {
      std::vector<double> wave(romset::kSamplesPerBank);
      for (int s = 0; s < romset::kSamplesPerBank; ++s)
        wave[static_cast<size_t>(s)] = std::sin(2.0 * M_PI * (bank + 1) * s / romset::kSamplesPerBank) * 1.5;
      set.setWaveBank(bank, wave);
    }
    for (int cut = 0; cut < 4; ++cut)
      for (int res = 0; res < 4; ++res)
        set.setPreset(presetFor(cut, res),
                      romset::PresetRecord().envelope(200, 30, 255, 20, 90, 2).control(0, cut, res, true));
    set.setPreset(kLongestEnvelopePreset,
                  romset::PresetRecord().envelope(0, 1, 255, 255, 0, 255).control(1, 0, 3, true));
    set.write(path);
  }
  ~RomDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

void send(Sarn2VST& instrument, uint8_t status, uint8_t velocity) {
  std::vector<pluginhost::Midi> messages;
  for (int note : kChord) messages.push_back({status, static_cast<uint8_t>(note), velocity});
  pluginhost::MidiBlock block(messages);
  instrument.processEvents(block.block());
}

}  // namespace

int presetFor(int cutoffCode, int resonanceCode) { return 4 * cutoffCode + resonanceCode; }

const std::string& romDirectory() {
  static RomDirectory directory;
  return directory.path;
}

std::unique_ptr<Sarn2VST> makeInstrument(int preset) {
  auto instrument = std::make_unique<Sarn2VST>(nullptr, romDirectory());
  instrument->setProgram(preset);
  return instrument;
}

void holdEightNotes(Sarn2VST& instrument) { send(instrument, 0x90, 100); }
void releaseAllNotes(Sarn2VST& instrument) { send(instrument, 0x80, 0); }

}  // namespace bench
