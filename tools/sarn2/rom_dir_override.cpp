#include "tools/sarn2/rom_dir_override.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/sarn2/output_file.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

RomDirOverride::RomDirOverride(const std::string& romDirectory) {
  std::error_code error;
  if (!fs::is_directory(romDirectory, error))
    throw ToolError("ROM directory " + romDirectory + " does not exist or is not a directory");
  const fs::path target = fs::absolute(romDirectory, error);

  std::string pattern = (fs::temp_directory_path(error) / "sarn2-roms-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw ToolError(std::string("cannot create a temporary directory: ") + std::strerror(errno));
  dataHome = pattern;
  removeOnInterrupt(dataHome + "/sarn2/roms");
  removeOnInterrupt(dataHome + "/sarn2");
  removeOnInterrupt(dataHome);

  fs::create_directory(fs::path(dataHome) / "sarn2", error);
  fs::create_directory_symlink(target, fs::path(dataHome) / "sarn2" / "roms", error);
  if (error) {
    const std::string reason = error.message();
    fs::remove_all(dataHome, error);
    throw ToolError("cannot link the ROM directory " + romDirectory + ": " + reason);
  }

  if (const char* value = std::getenv("XDG_DATA_HOME")) {
    previous = value;
    hadPrevious = true;
  }
  if (const char* value = std::getenv("XDG_DATA_DIRS")) {
    previousDataDirs = value;
    hadPreviousDataDirs = true;
  }
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  setenv("XDG_DATA_DIRS", dataHome.c_str(), 1);
}

RomDirOverride::~RomDirOverride() {
  if (hadPrevious)
    setenv("XDG_DATA_HOME", previous.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
  if (hadPreviousDataDirs)
    setenv("XDG_DATA_DIRS", previousDataDirs.c_str(), 1);
  else
    unsetenv("XDG_DATA_DIRS");
  // remove_all does not follow the link, so the linked directory is safe.
  std::error_code ignored;
  fs::remove_all(dataHome, ignored);
  keepOnInterrupt(dataHome + "/sarn2/roms");
  keepOnInterrupt(dataHome + "/sarn2");
  keepOnInterrupt(dataHome);
}

}  // namespace sarn2tool
