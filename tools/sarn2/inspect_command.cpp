#include "tools/sarn2/inspect_command.h"

#include <cstdio>
#include <optional>

#include "instrument/engine/filter_envelope.h"
#include "instrument/rom_directory.h"
#include "tools/sarn2/description_preview.h"
#include "tools/sarn2/export_command.h"
#include "tools/sarn2/rom_file_lookup.h"
#include "tools/sarn2/rom_verdict.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

using namespace sarn2;

namespace {

constexpr double kReportRate = 44100.0;

void printFiles(const RomReport& report) {
  std::printf("ROM directory: %s%s\n\n", report.directory.c_str(),
              report.directoryExists ? "" : " (not found)");
  std::printf("  %-13s %8s %8s  %s\n", "file", "size", "needed", "image bytes");
  for (const RomFileInfo& f : report.files) {
    const std::string name = f.name + ".BIN";
    const std::string needed = f.expected > 0 ? std::to_string(f.expected) : "-";
    std::string size = f.present || !f.problem.empty() ? std::to_string(f.size) : "missing";
    std::string where = "-";
    if (f.contributed > 0)
      where = std::to_string(f.imageStart) + "-" + std::to_string(f.imageStart + f.contributed - 1);
    if (!f.problem.empty()) where = "not read: " + f.problem;
    std::printf("  %-13s %8s %8s  %s\n", name.c_str(), size.c_str(), needed.c_str(), where.c_str());
  }
  const RomTables& t = report.tables;
  std::printf(
      "\nImage %zu bytes (the preset table needs %d); pitch table %zu of %d entries; wave table %zu of %d "
      "bytes (%zu whole banks)\n\n",
      t.romImage.size(), kPresetTableStart + kPresetCount * kPresetRecordBytes, t.pitchTable.size(),
      kMaxTablePairs, t.waveTable.size(), kMaxWaveTableBytes, t.waveTable.size() / kWaveBankBytes);
}

// Names come from a description: the copy build-roms leaves beside the ROM
// files, or the description being inspected.
void printPresets(const RomReport& report, const std::vector<std::string>& names) {
  std::printf(
      "Presets: byte 15 decoded; filter envelope bytes 0 1 2 4 6 8, its length in levels (one per output\n"
      "sample) and its duration at 44.1 kHz\n\n");
  std::printf("  %3s %4s %6s %4s %4s  %-23s %7s %8s\n", "#", "bank", "cutoff", "reso", "osc2",
              "envelope bytes", "levels", "seconds");
  for (int p = 0; p < kPresetCount; ++p) {
    const PresetInfo& info = report.presets[static_cast<size_t>(p)];
    if (!info.controlPresent) {
      std::printf("  %3d  (outside the image: bank 0, cutoff 0, no resonance, envelope level 128)\n", p);
      continue;
    }
    std::printf("  %3d %4d %6d %4d %4s  ", p, info.bank, info.cutoffCode, info.resonanceCode,
                info.secondOscillator ? "on" : "off");
    if (info.wholeRecord) {
      std::printf("%3d %3d %3d %3d %3d %3d    ", info.envelope[0], info.envelope[1], info.envelope[2],
                  info.envelope[3], info.envelope[4], info.envelope[5]);
    } else {
      std::printf("%-23s ", "(record not whole)");
    }
    std::printf("%7d %8.3f", info.envelopeLength, info.envelopeLength / kReportRate);
    if (static_cast<size_t>(p) < names.size() && !names[static_cast<size_t>(p)].empty())
      std::printf("  %s", names[static_cast<size_t>(p)].c_str());
    std::printf("\n");
  }
  std::printf("\n");
}

void printWarnings(const RomReport& report) {
  if (report.warnings.empty()) {
    std::printf("No warnings: every file is present at full size and every table is complete.\n");
    return;
  }
  std::printf("Warnings:\n");
  for (const std::string& w : report.warnings) std::printf("  - %s\n", w.c_str());
}

}  // namespace

Figure romFigure(const RomReport& report) {
  constexpr int kWidth = 1280;
  constexpr int kMargin = 16;
  constexpr int kBankHeight = 120;
  constexpr int kEnvelopeHeight = 80;
  constexpr int kGap = 18;
  constexpr int kBankColumns = 4;
  constexpr int kEnvelopeColumns = 8;
  const Color bankColor{30, 90, 170}, envelopeColor{190, 70, 30}, axisColor{200, 200, 200};

  Figure figure;
  figure.width = kWidth;
  const double bankWidth = (kWidth - 2.0 * kMargin - (kBankColumns - 1) * kMargin) / kBankColumns;
  const double envelopeWidth = (kWidth - 2.0 * kMargin - (kEnvelopeColumns - 1) * kMargin) / kEnvelopeColumns;
  const int bankRows = kWaveBankCount / kBankColumns;
  const int envelopeRows = kPresetCount / kEnvelopeColumns;
  const double envelopeTop = kGap + bankRows * (kBankHeight + kGap) + kGap;
  figure.height = static_cast<int>(envelopeTop + envelopeRows * (kEnvelopeHeight + kGap));

  for (int bank = 0; bank < kWaveBankCount; ++bank) {
    // Samples reach 1023/512 either way.
    const Panel panel{kMargin + (bank % kBankColumns) * (bankWidth + kMargin),
                      kGap + (bank / kBankColumns) * double(kBankHeight + kGap),
                      bankWidth,
                      kBankHeight,
                      0,
                      kSamplesPerBank - 1,
                      -2.0,
                      2.0};
    drawPanel(figure, panel, "BANK " + std::to_string(bank));
    figure.polyline({panel.at(0, 0), panel.at(kSamplesPerBank - 1, 0)}, axisColor);
    std::vector<Point> points;
    for (int s = 0; s < kSamplesPerBank; ++s)
      points.push_back(panel.at(s, waveSample(report.tables, bank * kWaveBankBytes, s)));
    figure.polyline(std::move(points), bankColor);
  }

  FilterEnvelope envelope;
  for (int p = 0; p < kPresetCount; ++p) {
    envelope.rebuild(wholePresetRecord(report.tables, p));
    const int32_t length = envelope.size();
    const Panel panel{kMargin + (p % kEnvelopeColumns) * (envelopeWidth + kMargin),
                      envelopeTop + (p / kEnvelopeColumns) * double(kEnvelopeHeight + kGap),
                      envelopeWidth,
                      kEnvelopeHeight,
                      0,
                      std::max(1, length - 1) * 1.0,
                      0,
                      255,
                      {"s", 1.0 / kReportRate}};
    char title[48];
    std::snprintf(title, sizeof(title), "P%d %.3fS", p, length / kReportRate);
    drawPanel(figure, panel, title);
    figure.polyline(
        columnTrace(panel, length, [&](int64_t i) { return double(envelope[static_cast<int32_t>(i)]); }),
        envelopeColor);
  }
  return figure;
}

int runInspect(const std::string& directory, const std::string& plotPath) {
  if (!plotPath.empty()) checkPicturePath(plotPath);
  const std::string target = directory.empty() ? romDirectory() : directory;
  // A description is built into a temporary directory and reported as one.
  std::optional<DescriptionPreview> preview;
  if (isDescriptionPath(target)) preview.emplace(target);
  RomReport report = inspectRomDirectory(preview ? preview->directory() : target);
  if (report.directory.empty())
    throw ToolError("no ROM directory given, and neither XDG_DATA_HOME nor HOME names one");
  if (preview) report.directory = target + " (as built from the description)";
  printFiles(report);
  printPresets(report, preview ? preview->presetNames() : presetNamesBeside(target));
  printWarnings(report);
  // A set built from a description has its names exactly.
  std::vector<std::string> hints = preview ? std::vector<std::string>() : caseMismatchHints(report.directory);
  // The instrument passes over a user directory holding names only in other
  // case; say so when that is why it reads another directory.
  if (directory.empty() && userRomDirectory() != report.directory)
    for (const std::string& hint : caseMismatchHints(userRomDirectory())) hints.push_back(hint);
  if (!hints.empty()) {
    std::printf("\nHints:\n");
    for (const std::string& hint : hints) std::printf("  - %s\n", hint.c_str());
  }
  std::printf("\n%s\n", romSetVerdict(report).c_str());
  if (!plotPath.empty()) {
    saveFigure(romFigure(report), plotPath);
    std::printf("\nWrote %s\n", plotPath.c_str());
  }
  return romSetCanSound(report) ? kExitOk : kExitFailure;
}

}  // namespace sarn2tool
