#include "tools/sarn2/rom_file_lookup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "instrument/engine/rom_loader.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

std::string folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::vector<RomFileMatch> matchRomFiles(const std::string& directory) {
  std::vector<std::string> entries;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    if (fs::is_regular_file(it->path(), statusError)) entries.push_back(it->path().filename().string());
  }
  std::sort(entries.begin(), entries.end());

  std::vector<RomFileMatch> matches;
  for (const sarn2::RomFileLayout& file : sarn2::kRomFiles) {
    RomFileMatch match;
    match.name = std::string(file.name) + ".BIN";
    const std::string key = folded(match.name);
    std::string found;
    for (const std::string& entry : entries) {
      if (entry == match.name) {
        found = entry;
        match.exactName = true;
        break;
      }
      if (found.empty() && folded(entry) == key) found = entry;
    }
    if (!found.empty()) match.path = (fs::path(directory) / found).string();
    matches.push_back(std::move(match));
  }
  return matches;
}

std::vector<std::string> caseMismatchHints(const std::string& directory) {
  std::vector<std::string> hints;
  for (const RomFileMatch& match : matchRomFiles(directory)) {
    if (match.path.empty() || match.exactName) continue;
    hints.push_back(fs::path(match.path).filename().string() + " is there, but the instrument reads only " +
                    match.name + " (names are case-sensitive); `sarn2 install-roms " + directory +
                    "` installs the set under the right names");
  }
  return hints;
}

}  // namespace sarn2tool
