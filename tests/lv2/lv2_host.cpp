#include "tests/lv2/lv2_host.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>

#include <cstring>

namespace lv2host {

using namespace sarn2lv2;

UridMap::UridMap() {
  mapData.handle = this;
  mapData.map = [](LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->map(uri);
  };
  unmapData.handle = this;
  unmapData.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    return static_cast<UridMap*>(handle)->unmap(urid);
  };
  mapFeature_ = {LV2_URID__map, &mapData};
  unmapFeature_ = {LV2_URID__unmap, &unmapData};
  featureList = {&mapFeature_, &unmapFeature_, nullptr};
}

LV2_URID UridMap::map(const char* uri) {
  for (size_t i = 0; i < uris.size(); ++i) {
    if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
  }
  uris.emplace_back(uri);
  return static_cast<LV2_URID>(uris.size());
}

const char* UridMap::unmap(LV2_URID urid) const {
  return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

World::World() : world(lilv_world_new()) {
  lilv_world_load_specifications(world);
  lilv_world_load_plugin_classes(world);
  LilvNode* bundle = lilv_new_file_uri(world, nullptr, SARN2_LV2_BUNDLE_DIR "/");
  lilv_world_load_bundle(world, bundle);
  lilv_node_free(bundle);
}

World::~World() { lilv_world_free(world); }

const LilvPlugin* World::plugin() const {
  LilvNode* uri = lilv_new_uri(world, kPluginUri);
  const LilvPlugin* found = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  lilv_node_free(uri);
  return found;
}

AtomSequence::AtomSequence(UridMap& uris, uint32_t capacity)
    : storage(capacity / 8),
      sequenceType(uris.map(LV2_ATOM__Sequence)),
      midiType(uris.map(LV2_MIDI__MidiEvent)) {
  clear();
}

void AtomSequence::clear() {
  std::fill(storage.begin(), storage.end(), 0);
  get()->atom.type = sequenceType;
  get()->atom.size = sizeof(LV2_Atom_Sequence_Body);
}

void AtomSequence::add(int64_t frame, LV2_URID type, const std::vector<uint8_t>& body) {
  LV2_Atom_Sequence* sequence = get();
  const size_t used = sizeof(LV2_Atom) + sequence->atom.size;
  if (used + sizeof(LV2_Atom_Event) + body.size() > storage.size() * sizeof(uint64_t)) return;
  uint8_t* at = reinterpret_cast<uint8_t*>(storage.data()) + used;
  LV2_Atom_Event event{};
  event.time.frames = frame;
  event.body.type = type;
  event.body.size = static_cast<uint32_t>(body.size());
  std::memcpy(at, &event, sizeof(event));
  if (!body.empty()) std::memcpy(at + sizeof(event), body.data(), body.size());
  sequence->atom.size += static_cast<uint32_t>(sizeof(event) + ((body.size() + 7) & ~size_t{7}));
}

void AtomSequence::addMidi(int64_t frame, const std::vector<uint8_t>& bytes) { add(frame, midiType, bytes); }

Instance::Instance(const World& world, UridMap& uris, double sampleRate)
    : world(world), uris(uris), sequence(uris) {
  const LilvPlugin* plugin = world.plugin();
  if (plugin == nullptr) return;
  instance = lilv_plugin_instantiate(plugin, sampleRate, uris.features());
  if (instance == nullptr) return;
  lilv_instance_connect_port(instance, midiInPort, sequence.get());
  for (uint32_t i = 0; i < controls.size(); ++i)
    lilv_instance_connect_port(instance, presetPort + i, &controls[i]);
  lilv_instance_activate(instance);
}

Instance::~Instance() {
  if (instance == nullptr) return;
  lilv_instance_deactivate(instance);
  lilv_instance_free(instance);
}

std::vector<float> Instance::run(uint32_t frames) {
  output.assign(frames, -2.0f);  // a value the plug-in never writes
  lilv_instance_connect_port(instance, audioOutPort, output.data());
  lilv_instance_run(instance, frames);
  sequence.clear();
  return output;
}

namespace {

struct StoreContext {
  UridMap* uris;
  std::vector<StoredProperty>* properties;
};

struct RetrieveContext {
  LV2_URID key;
  LV2_URID type;
  const std::vector<uint8_t>* value;
};

const LV2_State_Interface* stateInterface(LilvInstance* instance) {
  return static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance, LV2_STATE__interface));
}

}  // namespace

std::vector<StoredProperty> Instance::save() {
  std::vector<StoredProperty> properties;
  StoreContext context{&uris, &properties};
  auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                  uint32_t flags) {
    auto* c = static_cast<StoreContext*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(value);
    c->properties->push_back({c->uris->unmap(key), c->uris->unmap(type), {bytes, bytes + size}, flags});
    return LV2_STATE_SUCCESS;
  };
  stateInterface(instance)->save(lilv_instance_get_handle(instance), store, &context, LV2_STATE_IS_POD,
                                 uris.features());
  return properties;
}

LV2_State_Status Instance::restore(const std::vector<uint8_t>& value, const char* typeUri,
                                   const char* keyUri) {
  RetrieveContext context{uris.map(keyUri), uris.map(typeUri), &value};
  auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) -> const void* {
    auto* c = static_cast<RetrieveContext*>(handle);
    if (key != c->key) return nullptr;
    *size = c->value->size();
    *type = c->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return c->value->data();
  };
  return stateInterface(instance)->restore(lilv_instance_get_handle(instance), retrieve, &context,
                                           LV2_STATE_IS_POD, uris.features());
}

std::vector<uint8_t> Instance::chunk() {
  const std::vector<StoredProperty> properties = save();
  return properties.size() == 1 ? properties[0].value : std::vector<uint8_t>{};
}

namespace {

struct PortValues {
  Instance* instance;
  UridMap* uris;
};

int controlIndex(const char* symbol) {
  static constexpr const char* kSymbols[] = {"preset", "release", "filter"};
  for (int i = 0; i < 3; ++i) {
    if (std::strcmp(symbol, kSymbols[i]) == 0) return i;
  }
  return -1;
}

}  // namespace

std::string Instance::stateText() {
  PortValues context{this, &uris};
  auto getValue = [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
    auto* c = static_cast<PortValues*>(user);
    const int i = controlIndex(symbol);
    if (i < 0) return nullptr;
    *size = sizeof(float);
    *type = c->uris->map(LV2_ATOM__Float);
    return &c->instance->control(static_cast<Port>(presetPort + i));
  };
  LilvState* state =
      lilv_state_new_from_instance(world.plugin(), instance, uris.mapFeature(), nullptr, nullptr, nullptr,
                                   nullptr, getValue, &context, 0, uris.features());
  if (state == nullptr) return {};
  char* text = lilv_state_to_string(world.get(), uris.mapFeature(), uris.unmapFeature(), state,
                                    "urn:sarn2-test:state", nullptr);
  std::string result = text != nullptr ? text : "";
  lilv_free(text);
  lilv_state_free(state);
  return result;
}

bool Instance::restoreText(const std::string& text) {
  LilvState* state = lilv_state_new_from_string(world.get(), uris.mapFeature(), text.c_str());
  if (state == nullptr) return false;
  PortValues context{this, &uris};
  auto setValue = [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
    auto* c = static_cast<PortValues*>(user);
    const int i = controlIndex(symbol);
    if (i < 0 || size != sizeof(float) || type != c->uris->map(LV2_ATOM__Float)) return;
    std::memcpy(&c->instance->control(static_cast<Port>(presetPort + i)), value, sizeof(float));
  };
  lilv_state_restore(state, instance, setValue, &context, 0, uris.features());
  lilv_state_free(state);
  return true;
}

}  // namespace lv2host
