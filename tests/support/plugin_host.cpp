#include "tests/support/plugin_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testhost {

std::string pluginPath() {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path);
  directory.erase(directory.find_last_of("\\/") + 1);
  return directory + "sarn2.dll";
#else
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  std::string directory(path, length > 0 ? static_cast<size_t>(length) : 0);
  directory.erase(directory.find_last_of('/') + 1);
  return directory + "sarn2.so";
#endif
}

}  // namespace testhost
