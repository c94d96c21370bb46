#include "tests/support/temp_rom_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace testhost {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path base =
      fs::temp_directory_path() / ("sarn2-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(base);
  directory = base.string() + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(directory, ignored);
}

#if !defined(_WIN32)
ScopedEnv::ScopedEnv(const char* variable, const char* value) : name(variable) {
  if (const char* old = std::getenv(name)) previous = std::string(old);
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (previous)
    setenv(name, previous->c_str(), 1);
  else
    unsetenv(name);
}
#endif

std::string platformRomDirectory() {
#if defined(_WIN32)
  return "c://roms/";
#else
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  return std::string(dataHome != nullptr ? dataHome : "") + "/sarn2/roms/";
#endif
}

namespace {

void clearRomDirectory() {
  std::error_code ignored;
  fs::remove_all(platformRomDirectory(), ignored);
  fs::create_directories(platformRomDirectory(), ignored);
}

}  // namespace

PlatformRoms::PlatformRoms() {
#if !defined(_WIN32)
  dataHomeVariable.emplace("XDG_DATA_HOME", dataHome.path().c_str());
  const std::string noSystemSet = dataHome.path() + "no-system-set";
  dataDirsVariable.emplace("XDG_DATA_DIRS", noSystemSet.c_str());
#endif
  clearRomDirectory();
}

PlatformRoms::PlatformRoms(const romset::RomSet& set) : PlatformRoms() { set.write(platformRomDirectory()); }

PlatformRoms::~PlatformRoms() {
#if defined(_WIN32)
  std::error_code ignored;
  fs::remove_all(platformRomDirectory(), ignored);
#endif
}

}  // namespace testhost
