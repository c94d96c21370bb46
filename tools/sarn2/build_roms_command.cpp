#include "tools/sarn2/build_roms_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tools/romset/description_build.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"
#include "tools/sarn2/wave_cycle_reader.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int runBuildRoms(const std::string& descriptionPath, const std::string& directory, bool force) {
  romset::BuildOutcome outcome;
  std::string descriptionText;
  try {
    const romset::SetDescription description = romset::readDescription(descriptionPath);
    descriptionText = readWhole(descriptionPath);
    outcome = romset::buildRomSet(description, romset::readBase(description), readWaveCycle);
  } catch (const romset::DescriptionError& e) {
    throw ToolError(e.what());
  }

  std::error_code error;
  const fs::path root(directory);
  if (fs::exists(root, error) && !fs::is_directory(root, error))
    throw ToolError("cannot write ROM files into " + directory + ": it is not a directory");
  std::string existing;
  for (const std::string& name : romset::fileNames())
    if (fs::exists(root / (name + ".BIN"), error)) existing += (existing.empty() ? "" : ", ") + name + ".BIN";
  if (fs::exists(root / kDescriptionCopyName, error))
    existing += (existing.empty() ? "" : ", ") + std::string(kDescriptionCopyName);
  if (!existing.empty() && !force)
    throw ToolError(directory + " already holds " + existing + "; pass --force to replace them");
  fs::create_directories(root, error);
  if (error) throw ToolError("cannot create " + directory + ": " + error.message());

  // Every temporary file first: a directory that refuses one refuses before
  // anything is replaced.
  struct Pending {
    std::unique_ptr<OutputFile> file;
    const std::vector<uint8_t>* bytes;
  };
  std::vector<Pending> pending;
  std::vector<fs::path> leftOut;
  size_t total = 0;
  for (const auto& [name, content] : outcome.set.allFiles()) {
    const fs::path path = root / (name + ".BIN");
    if (!content) {
      leftOut.push_back(path);
      continue;
    }
    pending.push_back({std::make_unique<OutputFile>(path.string()), &*content});
    total += content->size();
  }
  const std::vector<uint8_t> copy(descriptionText.begin(), descriptionText.end());
  pending.push_back({std::make_unique<OutputFile>((root / kDescriptionCopyName).string()), &copy});
  for (Pending& p : pending) {
    OutputFile& file = *p.file;
    const int descriptor = file.takeDescriptor();
    std::FILE* stream = fdopen(descriptor, "wb");
    if (stream == nullptr) throw ToolError("cannot write " + file.target());
    const bool written =
        p.bytes->empty() || std::fwrite(p.bytes->data(), 1, p.bytes->size(), stream) == p.bytes->size();
    if (std::fclose(stream) != 0 || !written)
      throw ToolError("cannot write " + file.target() + ": disk full?");
  }
  for (Pending& p : pending) p.file->commit();
  // A file the set leaves out must not survive from an earlier set.
  for (const fs::path& path : leftOut) fs::remove(path, error);

  for (const std::string& note : outcome.notes) std::printf("%s\n", note.c_str());
  std::printf("%s: wrote %zu ROM files, %zu bytes, and %s from %s\n", directory.c_str(), pending.size() - 1,
              total, kDescriptionCopyName, descriptionPath.c_str());
  return kExitOk;
}

}  // namespace sarn2tool
