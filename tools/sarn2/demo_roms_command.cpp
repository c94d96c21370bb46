#include "tools/sarn2/demo_roms_command.h"

#include <cstdio>
#include <filesystem>

#include "tools/romset/romset.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

int runMakeDemoRoms(const std::string& directory, bool force) {
  std::error_code error;
  if (fs::exists(directory, error) && !fs::is_directory(directory, error))
    throw ToolError("cannot write ROM files into " + directory + ": it is not a directory");

  const fs::path root(directory);
  std::string existing;
  for (const std::string& name : romset::fileNames())
    if (fs::exists(root / (name + ".BIN"), error)) existing += (existing.empty() ? "" : ", ") + name + ".BIN";
  if (!existing.empty() && !force)
    throw ToolError(directory + " already holds ROM files (" + existing + "); pass --force to replace them");

  fs::create_directories(root, error);
  if (error) throw ToolError("cannot create " + directory + ": " + error.message());

  const romset::RomSet set = romset::demoRomSet();
  int written = 0;
  size_t bytes = 0;
  for (const auto& [name, content] : set.allFiles()) {
    const fs::path path = root / (name + ".BIN");
    if (content) {
      writeWholeFile(path.string(), content->data(), content->size());
      ++written;
      bytes += content->size();
    } else {
      // A file the set leaves out must not survive from an earlier set.
      fs::remove(path, error);
    }
  }
  std::printf("%s: wrote %d ROM files, %zu bytes\n", directory.c_str(), written, bytes);
  return kExitOk;
}

}  // namespace sarn2tool
