// The exported entry point. Hosts look it up under two names; both lead to
// this one function (a .def file on Windows, an alias on ELF targets).
#include "frame/entry.h"

#if defined(_WIN32)
#define SARN2_EXPORT
#else
#define SARN2_EXPORT __attribute__((visibility("default")))
#endif

extern "C" SARN2_EXPORT EffectRecord* VSTPluginMain(HostCallback hostCallback) {
  // Hosts always pass their callback; a null one would be called below, so
  // such a call is answered with no effect instead.
  if (hostCallback == nullptr) return nullptr;
  if (hostCallback(nullptr, HostOpcode::version, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  try {
    frame::AudioEffect* effect = frame::createInstance(hostCallback);
    return effect != nullptr ? effect->getEffectRecord() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

#if !defined(_WIN32)
extern "C" SARN2_EXPORT EffectRecord* MAIN(HostCallback hostCallback) __attribute__((alias("VSTPluginMain")));
#endif
