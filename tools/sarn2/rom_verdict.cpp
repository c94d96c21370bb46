#include "tools/sarn2/rom_verdict.h"

namespace sarn2tool {

namespace {

// The index rule steps back two entries from the end, so a table of fewer
// than two entries gives no note anything to play.
constexpr size_t kMinPitchEntries = 2;

std::string silenceReason(const RomReport& report) {
  if (!report.directoryExists) return "the directory " + report.directory + " does not exist";
  std::string reason;
  if (report.tables.waveTable.empty()) reason = "there is no wave table (DD13/DD14 and DD18/DD19)";
  if (report.tables.pitchTable.size() < kMinPitchEntries)
    reason += std::string(reason.empty() ? "" : " and ") + "there is no pitch table (DD1/DD2)";
  return reason;
}

}  // namespace

bool romSetCanSound(const RomReport& report) { return silenceReason(report).empty(); }

std::string romSetVerdict(const RomReport& report) {
  const std::string reason = silenceReason(report);
  if (!reason.empty()) return "Verdict: silent. The instrument renders only silence here: " + reason + ".";
  if (report.warnings.empty()) return "Verdict: complete. The instrument plays this set as intended.";
  return "Verdict: plays, with the warnings above.";
}

}  // namespace sarn2tool
