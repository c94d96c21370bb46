#include "tools/host/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace pluginhost {

namespace {

#if defined(_WIN32)
std::string lastSystemError() {
  char text[512] = {};
  const DWORD code = GetLastError();
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, text, sizeof(text), nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}
#endif

bool hasDirectory(const std::string& path) { return path.find_first_of("/\\") != std::string::npos; }

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : filePath(path) {
  const std::string local = hasDirectory(path) ? path : "./" + path;
#if defined(_WIN32)
  handle = reinterpret_cast<void*>(LoadLibraryA(local.c_str()));
  if (handle == nullptr) loadError = lastSystemError();
#else
  handle = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    loadError = reason != nullptr ? reason : "unknown error";
  }
#endif
}

PluginLibrary::~PluginLibrary() {
  if (handle == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
  dlclose(handle);
#endif
}

PluginLibrary::Entry PluginLibrary::entry(const char* name) const {
  if (handle == nullptr) return nullptr;
#if defined(_WIN32)
  return reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name)));
#else
  return reinterpret_cast<Entry>(dlsym(handle, name));
#endif
}

PluginLibrary::Entry PluginLibrary::findEntry() const {
  for (const char* name : {"VSTPluginMain", "MAIN", "main"})
    if (Entry found = entry(name)) return found;
  return nullptr;
}

}  // namespace pluginhost
