#include "tools/sarn2/export_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tools/romset/description_build.h"
#include "tools/sarn2/build_roms_command.h"
#include "tools/sarn2/description_preview.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"
#include "tools/sarn2/wav_writer.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

// One step of the 10-bit table is 1/1024 of full scale, which a float holds
// exactly, so the WAV files read back to the same samples.
constexpr double kStepsPerFullScale = 1024.0;
constexpr int kWaveRate = 44100;

}  // namespace

std::vector<std::string> presetNamesBeside(const std::string& romDirectory) {
  std::ifstream in(fs::path(romDirectory) / kDescriptionCopyName, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return romset::presetNamesOf(text.str());
}

void exportRomSet(const std::string& romDirectory, const std::string& descriptionPath) {
  if (isDescriptionPath(romDirectory))
    throw ToolError(romDirectory +
                    " is a description, not a ROM directory: build it with build-roms, then export "
                    "the directory");
  romset::RomSet set;
  try {
    set = romset::readRomDirectory(romDirectory);
  } catch (const romset::DescriptionError& e) {
    throw ToolError(e.what());
  }
  romset::SetDescription description = romset::describeRomSet(set, presetNamesBeside(romDirectory));
  std::error_code error;
  const fs::path romPath = fs::absolute(romDirectory, error).lexically_normal();
  description.name =
      romPath.filename().empty() ? romPath.parent_path().filename().string() : romPath.filename().string();
  description.base = romPath.string();

  const fs::path target(descriptionPath);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string stem = target.stem().string();
  // Every temporary file first, then all the renames.
  std::vector<std::unique_ptr<WavWriter>> waves;
  for (size_t b = 0; b < description.banks.size(); ++b) {
    romset::BankDescription& bank = description.banks[b];
    const std::string name = stem + "-bank" + std::to_string(b) + ".wav";
    std::vector<float> samples;
    for (int value : bank.samples) samples.push_back(static_cast<float>(value / kStepsPerFullScale));
    const std::string wavePath = (folder / name).string();
    waves.push_back(
        std::make_unique<WavWriter>(wavePath, kWaveRate, soundFileFormat(wavePath, SampleFormat::float32)));
    waves.back()->write(samples.data(), static_cast<int64_t>(samples.size()));
    bank.source = romset::BankDescription::Source::wave;
    bank.wavePath = name;
    bank.normalize = false;
    bank.samples.clear();
  }
  const std::string text = romset::formatDescription(description);
  OutputFile file(descriptionPath);
  for (auto& wave : waves) wave->finish();
  file.writeAndCommit(text.data(), text.size());
  std::printf("Wrote %s and its eight banks as %s-bank0.wav to %s-bank7.wav; its base is %s\n",
              descriptionPath.c_str(), stem.c_str(), stem.c_str(), description.base.c_str());
}

}  // namespace sarn2tool
