#include "tools/sarn2/install_roms_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "instrument/rom_directory.h"
#include "tools/romset/romset.h"
#include "tools/sarn2/inspect_report.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/rom_file_lookup.h"
#include "tools/sarn2/rom_verdict.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

// Real dumps are a few kilobytes; the instrument skips anything this large.
constexpr uintmax_t kMaxRomFileBytes = 16u * 1024 * 1024;

struct SourceFile {
  std::string name;  // the right name, "DD1.BIN"
  std::string from;  // where it came from, for the report
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> readSourceFile(const std::string& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  if (error) throw ToolError("cannot read " + path + ": " + error.message());
  if (size > kMaxRomFileBytes)
    throw ToolError(path + " is " + std::to_string(size) + " bytes, too large to be a ROM dump");
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw ToolError("cannot read " + path);
  return bytes;
}

// The files to install and the names the source lacks.
std::vector<SourceFile> gatherSource(const std::string& source, std::vector<std::string>& missing) {
  std::vector<SourceFile> files;
  if (source.empty()) {
    const romset::RomSet demo = romset::demoRomSet();
    for (const auto& [name, content] : demo.allFiles())
      if (content) files.push_back({name + ".BIN", "the demo set", *content});
    return files;
  }
  std::error_code error;
  if (!fs::is_directory(source, error))
    throw ToolError("cannot install ROM files from " + source + ": it is not a directory");
  for (const RomFileMatch& match : matchRomFiles(source)) {
    if (match.path.empty()) {
      missing.push_back(match.name);
      continue;
    }
    files.push_back({match.name, match.path, readSourceFile(match.path)});
  }
  if (files.empty())
    throw ToolError(source +
                    " holds none of the ten ROM files (DD1.BIN, DD2.BIN, DD13.BIN, DD14.BIN, DD16.BIN, " +
                    "DD18.BIN, DD19.BIN, DD27.BIN, DD28.BIN, Midi_DD2.BIN, in any case)");
  return files;
}

bool sameContent(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  if (!fs::is_regular_file(path, error) || fs::file_size(path, error) != bytes.size() || error) return false;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> existing(bytes.size());
  in.read(reinterpret_cast<char*>(existing.data()), static_cast<std::streamsize>(existing.size()));
  return in.good() && existing == bytes;
}

void writeAll(int descriptor, const std::vector<uint8_t>& bytes, const std::string& target) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(descriptor, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw ToolError("cannot write " + target + ": " + std::strerror(n < 0 ? errno : ENOSPC));
    written += static_cast<size_t>(n);
  }
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

}  // namespace

int runInstallRoms(const InstallRomsOptions& options) {
  const std::string destination =
      options.system ? std::string(kSystemRomDirectory) : sarn2::userRomDirectory();
  if (destination.empty())
    throw ToolError("neither XDG_DATA_HOME nor HOME names a directory to install the ROM files into");

  std::vector<std::string> missing;
  const std::vector<SourceFile> files = gatherSource(options.source, missing);

  std::error_code error;
  fs::create_directories(destination, error);
  std::error_code statusError;
  if (error || !fs::is_directory(destination, statusError)) {
    const std::string advice =
        options.system && geteuid() != 0 ? " (--system needs root: run it with sudo)" : "";
    throw ToolError("cannot create the ROM directory " + destination + ": " +
                    (error ? error.message() : "not a directory") + advice);
  }

  // Every file goes to a temporary name first; only when all of them are
  // written are they renamed into place, so a failure installs nothing.
  struct Pending {
    const SourceFile* file;
    std::unique_ptr<OutputFile> out;
  };
  std::vector<Pending> pending;
  std::vector<std::string> kept, unchanged;
  for (const SourceFile& file : files) {
    const std::string target = destination + file.name;
    if (fs::is_directory(target, error))
      throw ToolError("cannot install " + file.name + ": " + target + " is a directory");
    if (fs::exists(fs::symlink_status(target, error))) {
      if (sameContent(target, file.bytes)) {
        unchanged.push_back(file.name);
        continue;
      }
      if (!options.force) {
        kept.push_back(file.name);
        continue;
      }
    }
    try {
      pending.push_back({&file, std::make_unique<OutputFile>(target)});
    } catch (const ToolError& e) {
      const std::string advice =
          options.system && geteuid() != 0 ? " (--system needs root: run it with sudo)" : "";
      throw ToolError(e.what() + advice);
    }
    const int descriptor = pending.back().out->takeDescriptor();
    try {
      writeAll(descriptor, file.bytes, target);
    } catch (...) {
      close(descriptor);
      throw;
    }
    if (close(descriptor) != 0) throw ToolError("cannot write " + target + ": " + std::strerror(errno));
  }
  for (Pending& p : pending) p.out->commit();

  std::printf("ROM directory: %s\n", destination.c_str());
  for (const Pending& p : pending) {
    const std::string from =
        p.file->from == "the demo set" ? p.file->from : fs::path(p.file->from).filename().string();
    std::printf("  %-13s installed from %s\n", p.file->name.c_str(), from.c_str());
  }
  for (const std::string& name : unchanged)
    std::printf("  %-13s already installed, unchanged\n", name.c_str());
  for (const std::string& name : kept)
    std::printf("  %-13s kept: a different file is already there (--force replaces it)\n", name.c_str());
  if (!missing.empty())
    std::printf("Missing from %s, not installed: %s\n", options.source.c_str(), joined(missing).c_str());

  const RomReport report = inspectRomDirectory(destination);
  if (!report.warnings.empty()) {
    std::printf("\nsarn2 inspect of the installed set:\n");
    for (const std::string& w : report.warnings) std::printf("  - %s\n", w.c_str());
  }
  std::printf("\n%s\n", romSetVerdict(report).c_str());
  return romSetCanSound(report) ? kExitOk : kExitFailure;
}

}  // namespace sarn2tool
