#include "tools/sarn2/inspect_report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <utility>

#include "instrument/engine/filter_envelope.h"

namespace fs = std::filesystem;

namespace sarn2tool {

using namespace sarn2;

namespace {

constexpr int64_t kPresetTableEnd = kPresetTableStart + kPresetCount * kPresetRecordBytes;  // 10240
constexpr int kNotes = 128;

// The bytes the files before DD16 hold when every one is full size; the
// preset table then lies in DD16 at kPresetTableStart minus this.
constexpr int64_t fullSizeBeforeDD16() {
  int64_t bytes = 0;
  for (const RomFileLayout& file : kRomFiles) {
    if (std::string_view(file.name) == "DD16") break;
    bytes += file.tableBytes;
  }
  return bytes;
}
constexpr int64_t kFullSizeBeforeDD16 = fullSizeBeforeDD16();
constexpr int64_t kPresetTableOffsetInDD16 = kPresetTableStart - kFullSizeBeforeDD16;

std::string plural(int64_t n, const char* word) {
  std::string text = std::to_string(n);
  text.append(" ").append(word);
  if (n == 1) return text;
  if (text.back() == 'y') return text.substr(0, text.size() - 1).append("ies");
  return text.append("s");
}

// "3, 5-9, 12" for a sorted list of numbers.
std::string ranges(const std::vector<int>& numbers) {
  std::string out;
  for (size_t i = 0; i < numbers.size();) {
    size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (!out.empty()) out += ", ";
    out += std::to_string(numbers[i]);
    if (j > i) out.append("-").append(std::to_string(numbers[j]));
    i = j + 1;
  }
  return out;
}

// "preset 4" or "presets 3, 5-9".
std::string numbered(const char* word, const std::vector<int>& numbers) {
  return std::string(word) + (numbers.size() == 1 ? " " : "s ") + ranges(numbers);
}

// Which files' bytes make up image positions [from, to).
std::string imageSource(const std::vector<RomFileInfo>& files, int64_t from, int64_t to) {
  std::string out;
  for (const RomFileInfo& f : files) {
    const int64_t start = std::max(from, f.imageStart);
    const int64_t end = std::min(to, f.imageStart + f.contributed);
    if (start >= end) continue;
    if (!out.empty()) out += " and ";
    out += f.name + " bytes " + std::to_string(start - f.imageStart) + "-" +
           std::to_string(end - f.imageStart - 1);
  }
  return out.empty() ? "nothing" : out;
}

// What a person can do about a file the loader skipped.
std::string problemOf(const RomFileOutcome& outcome) {
  switch (outcome.status) {
    case RomFileStatus::folder:
      return "a folder, not a file";
    case RomFileStatus::deviceOrPipe:
      return "not a regular file (a device, pipe or socket)";
    case RomFileStatus::tooLarge:
      return "too large to be a ROM dump; skipped";
    case RomFileStatus::unreadable:
      return outcome.errorNumber != 0 ? std::strerror(outcome.errorNumber) : "its size cannot be found";
    case RomFileStatus::found:
    case RomFileStatus::shortRead:
    case RomFileStatus::missing:
      break;
  }
  return {};
}

void describeFiles(RomReport& report, const RomLoad& load) {
  for (size_t f = 0; f < kRomFiles.size(); ++f) {
    const RomFileOutcome& outcome = load.files[f];
    RomFileInfo info;
    info.name = kRomFiles[f].name;
    info.expected = kRomFiles[f].tableBytes;
    info.present = outcome.status == RomFileStatus::found || outcome.status == RomFileStatus::shortRead;
    info.problem = problemOf(outcome);
    info.size = outcome.size;
    info.bytesRead = outcome.bytesRead;
    info.contributed = outcome.imageBytes;
    info.imageStart = outcome.imageStart;
    report.files.push_back(info);
  }
}

void decodePresets(RomReport& report) {
  FilterEnvelope envelope;
  for (int32_t p = 0; p < kPresetCount; ++p) {
    PresetInfo& info = report.presets[static_cast<size_t>(p)];
    const PresetRecordView record = presetRecord(report.tables, p);
    info.controlPresent = record.hasControl;
    info.control = record.control.byte;
    info.bank = record.control.waveBank();
    info.cutoffCode = record.control.cutoffCode();
    info.resonanceCode = record.control.resonanceCode();
    info.secondOscillator = record.control.secondOscillator();
    info.wholeRecord = record.whole();
    const EnvelopeBytes bytes = record.envelope();
    if (record.whole())
      info.envelope = {bytes.rampStart, bytes.rampRate,  bytes.rampEnd,
                       bytes.glideTime, bytes.holdLevel, bytes.holdTime};
    envelope.rebuild(record.record);
    info.envelopeLength = envelope.size();
  }
}

const RomFileInfo& file(const RomReport& report, const std::string& name) {
  return *std::find_if(report.files.begin(), report.files.end(),
                       [&](const RomFileInfo& f) { return f.name == name; });
}

void warnAboutFiles(RomReport& report) {
  if (!report.directoryExists) {
    report.warnings.push_back(
        "The directory " + report.directory +
        " does not exist or is not a directory: the instrument finds no ROM files and renders silence.");
    return;
  }
  for (const RomFileInfo& f : report.files) {
    const std::string fileName = f.name + ".BIN";
    const std::string need = f.expected > 0 ? " (" + std::to_string(f.expected) + " bytes needed)" : "";
    if (!f.present && f.problem.empty()) {
      report.warnings.push_back(fileName + " is missing" + need + ".");
    } else if (!f.problem.empty()) {
      report.warnings.push_back(fileName + " cannot be used: " + f.problem + need + ".");
    } else if (f.bytesRead < f.size) {
      report.warnings.push_back(fileName + " is " + std::to_string(f.size) + " bytes but only " +
                                std::to_string(f.bytesRead) +
                                " could be read; the instrument reads the rest as 0.");
    } else if (f.expected > 0 && f.size < f.expected) {
      report.warnings.push_back(fileName + " is " + std::to_string(f.size) + " bytes, shorter than the " +
                                std::to_string(f.expected) + " its table needs.");
    } else if (f.expected > 0 && f.size > f.expected) {
      report.warnings.push_back(fileName + " is " + std::to_string(f.size) + " bytes; only the first " +
                                std::to_string(f.expected) +
                                " feed its table, the rest only lengthen the image.");
    }
  }
}

void warnAboutPresetTable(RomReport& report) {
  const auto imageSize = static_cast<int64_t>(report.tables.romImage.size());
  if (imageSize == 0) {
    report.warnings.push_back("The ROM image is empty: the instrument renders silence.");
    return;
  }

  const RomFileInfo& dd16 = file(report, "DD16");
  const int64_t shift = kFullSizeBeforeDD16 - dd16.imageStart;
  const std::string source =
      imageSource(report.files, kPresetTableStart, std::min(imageSize, kPresetTableEnd));
  const std::string intended =
      "DD16 bytes " + std::to_string(kPresetTableOffsetInDD16) + "-" +
      std::to_string(kPresetTableOffsetInDD16 + kPresetCount * kPresetRecordBytes - 1);
  if (shift != 0) {
    report.warnings.push_back(
        "The files before DD16 hold " + std::to_string(dd16.imageStart) + " bytes instead of " +
        std::to_string(kFullSizeBeforeDD16) + ", so every later file sits " +
        std::to_string(std::abs(shift)) + " bytes " + (shift > 0 ? "earlier" : "later") +
        " in the image and the preset table moves " + std::to_string(std::abs(shift)) + " bytes " +
        (shift > 0 ? "further into" : "back in") + " the ROM data: it is read from " + source +
        " instead of " + intended + ". The presets will sound wrong.");
  } else if (source != intended) {
    report.warnings.push_back("DD16 does not reach its preset table, so the preset table is read from " +
                              source + " instead of " + intended + ". The presets will sound wrong.");
  }

  std::vector<int> notWhole, noControl;
  for (int p = 0; p < kPresetCount; ++p) {
    if (!report.presets[static_cast<size_t>(p)].wholeRecord) notWhole.push_back(p);
    if (!report.presets[static_cast<size_t>(p)].controlPresent) noControl.push_back(p);
  }
  if (!notWhole.empty()) {
    report.warnings.push_back(
        "The image is " + std::to_string(imageSize) + " bytes but the preset table needs " +
        std::to_string(kPresetTableEnd) + ": " + numbered("preset", notWhole) +
        (notWhole.size() == 1 ? " lies" : " lie") +
        " outside it. Choosing one keeps the previous preset's second-oscillator setting, and its filter "
        "envelope is the constant level 128.");
  }
  if (!noControl.empty()) {
    report.warnings.push_back("The image holds no byte 15 for " + numbered("preset", noControl) +
                              ": they play wave bank 0 with cutoff code 0 and no "
                              "resonance.");
  }
}

void warnAboutPitchTable(RomReport& report) {
  const RomTables& roms = report.tables;
  const auto entries = static_cast<int64_t>(roms.pitchTable.size());
  if (entries < 2) {
    report.warnings.push_back("The pitch table has " + plural(entries, "entry") +
                              " (it needs DD1 and DD2 both): every note is silent.");
    return;
  }
  if (entries < kMaxTablePairs) {
    int firstClamped = -1;
    for (int note = 0; note < kNotes && firstClamped < 0; ++note)
      if (nominalPitchIndex(note) >= entries) firstClamped = note;
    if (firstClamped >= 0) {
      report.warnings.push_back("The pitch table has " + std::to_string(entries) + " entries instead of " +
                                std::to_string(kMaxTablePairs) + ": notes " + std::to_string(firstClamped) +
                                " and up all read entry " + std::to_string(entries - 2) +
                                " and play one pitch.");
    }
  }
  std::vector<int> still;
  for (int note = 0; note < kNotes; ++note) {
    const int32_t index = pitchTableIndex(roms, note);
    if (index >= 0 && roms.pitchTable[static_cast<size_t>(index)] == 0) still.push_back(note);
  }
  if (!still.empty()) {
    report.warnings.push_back("The pitch table gives " + numbered("note", still) +
                              " an increment of 0: their oscillators stand still and give no "
                              "tone.");
  }
}

void warnAboutWaveTable(RomReport& report) {
  const RomTables& roms = report.tables;
  const auto bytes = static_cast<int64_t>(roms.waveTable.size());
  if (bytes == 0) {
    report.warnings.push_back(
        "The wave table is empty (it needs DD13 with DD14, or DD18 with DD19): the instrument renders "
        "silence.");
    return;
  }
  const int64_t firstPairs =
      std::min({file(report, "DD13").contributed, file(report, "DD14").contributed, int64_t{kMaxTablePairs}});
  const int64_t secondPairs =
      std::min({file(report, "DD18").contributed, file(report, "DD19").contributed, int64_t{kMaxTablePairs}});
  if (firstPairs < kMaxTablePairs && secondPairs > 0) {
    report.warnings.push_back("DD13/DD14 give " + std::to_string(firstPairs) + " samples instead of " +
                              std::to_string(kMaxTablePairs) + ", so the DD18/DD19 waves start at sample " +
                              std::to_string(firstPairs) +
                              " and the banks no longer line up with the ROM files.");
  }

  std::map<int, std::vector<int>> presetsByBank;
  for (int p = 0; p < kPresetCount; ++p)
    presetsByBank[report.presets[static_cast<size_t>(p)].bank].push_back(p);
  for (int bank = 0; bank < kWaveBankCount; ++bank) {
    int present = 0;
    for (int s = 0; s < kSamplesPerBank; ++s)
      if (bank * int64_t{kWaveBankBytes} + 2 * s + 1 < bytes) ++present;
    if (present == kSamplesPerBank) continue;
    const auto used = presetsByBank.find(bank);
    const std::string users =
        used == presetsByBank.end()
            ? "no preset uses it"
            : numbered("preset", used->second) + (used->second.size() == 1 ? " uses it" : " use it");
    if (present == 0)
      report.warnings.push_back("Wave bank " + std::to_string(bank) + " is empty and plays silence; " +
                                users + ".");
    else
      report.warnings.push_back("Wave bank " + std::to_string(bank) + " has only " + std::to_string(present) +
                                " of " + std::to_string(kSamplesPerBank) +
                                " samples; the rest of its wave plays as silence; " + users + ".");
  }
}

}  // namespace

RomReport inspectRomDirectory(const std::string& directory) {
  RomReport report;
  report.directory = directory.empty() || directory.back() == '/' ? directory : directory + "/";
  std::error_code error;
  report.directoryExists = !report.directory.empty() && fs::is_directory(report.directory, error);
  RomLoad load = loadRoms(report.directoryExists ? report.directory : std::string());
  describeFiles(report, load);
  report.tables = std::move(load.tables);
  decodePresets(report);

  warnAboutFiles(report);
  if (!report.directoryExists) return report;
  warnAboutPresetTable(report);
  if (!report.tables.romImage.empty()) {
    warnAboutPitchTable(report);
    warnAboutWaveTable(report);
  }
  return report;
}

}  // namespace sarn2tool
