// The library's one export, lv2_descriptor, and the C functions a host
// calls. Nothing is thrown across them: a failed instantiation answers null.
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <new>

#include "instrument/rom_directory.h"
#include "tools/lv2/sarn2_lv2.h"

namespace {

using sarn2lv2::Sarn2Lv2;

Sarn2Lv2* plugin(LV2_Handle instance) { return static_cast<Sarn2Lv2*>(instance); }

LV2_Handle instantiate(const LV2_Descriptor* /*descriptor*/, double sampleRate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features) {
  const LV2_URID_Map* map = nullptr;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, LV2_URID__map) == 0)
      map = static_cast<const LV2_URID_Map*>(features[i]->data);
  }
  if (map == nullptr || map->map == nullptr) return nullptr;
  try {
    // The ROM files are read here, from the same directory the other
    // Linux library reads.
    return new Sarn2Lv2(sampleRate, *map, sarn2::romDirectory());
  } catch (...) {
    return nullptr;
  }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
  plugin(instance)->connectPort(port, data);
}

void activate(LV2_Handle /*instance*/) {}

void run(LV2_Handle instance, uint32_t frames) { plugin(instance)->run(frames); }

void deactivate(LV2_Handle /*instance*/) {}

void cleanup(LV2_Handle instance) { delete plugin(instance); }

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
  if (store == nullptr) return LV2_STATE_ERR_UNKNOWN;
  return plugin(instance)->save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
  if (retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
  return plugin(instance)->restore(retrieve, handle);
}

const LV2_State_Interface stateInterface = {save, restore};

const void* extensionData(const char* uri) {
  if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0) return &stateInterface;
  return nullptr;
}

const LV2_Descriptor descriptor = {sarn2lv2::kPluginUri, instantiate, connectPort,  activate, run,
                                   deactivate,           cleanup,     extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &descriptor : nullptr;
}
