#include "tools/sarn2/hosted_plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr intptr_t kHostInterfaceVersion = 2400;
constexpr int32_t kParameterNameBytes = 64;  // generous: names are bounded at 8
constexpr const char* kHostName = "sarn2 render";

// What the host callback answers with; the program hosts one instance.
struct HostAnswers {
  float sampleRate = 44100.0f;
  int32_t blockSize = 512;
};
HostAnswers hostAnswers;

void copyText(void* ptr, const char* text, size_t bound) {
  if (ptr == nullptr) return;
  auto* out = static_cast<char*>(ptr);
  std::strncpy(out, text, bound);
  out[bound] = 0;
}

intptr_t hostCallback(EffectRecord* /*effect*/, int32_t opcode, int32_t /*index*/, intptr_t /*value*/,
                      void* ptr, float /*opt*/) {
  switch (opcode) {
    case HostOpcode::version:
      return kHostInterfaceVersion;
    case HostOpcode::wantMidi:
      return 1;
    // No transport: the piece is rendered offline from a file, and a plug-in
    // that asks for the time record is told there is none.
    case HostOpcode::getTime:
      return 0;
    case HostOpcode::getSampleRate:
      return static_cast<intptr_t>(hostAnswers.sampleRate);
    case HostOpcode::getBlockSize:
      return hostAnswers.blockSize;
    case HostOpcode::vendorString:
    case HostOpcode::productString:
      copyText(ptr, kHostName, 63);
      return 1;
    case HostOpcode::vendorVersion:
      return 1;
    case HostOpcode::updateDisplay:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

HostedPlugin::HostedPlugin(const std::string& libraryPath, float sampleRate, int32_t blockSize)
    : maxFrames(blockSize) {
  hostAnswers = HostAnswers{sampleRate, blockSize};

  // dlopen searches the library path for a bare name; the user means the
  // file in the current directory.
  const std::string path = libraryPath.find('/') == std::string::npos ? "./" + libraryPath : libraryPath;
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    throw ToolError("cannot load " + libraryPath +
                    " as a plug-in library: " + (reason ? reason : "unknown error"));
  }
  using Entry = EffectRecord* (*)(HostCallback);
  Entry entry = nullptr;
  for (const char* name : {"VSTPluginMain", "MAIN", "main"}) {
    entry = reinterpret_cast<Entry>(dlsym(library, name));
    if (entry != nullptr) break;
  }
  if (entry == nullptr) {
    dlclose(library);
    throw ToolError(libraryPath + " is not a plug-in: it exports no entry point (VSTPluginMain or MAIN)");
  }
  effect = entry(&hostCallback);
  if (effect == nullptr) {
    dlclose(library);
    throw ToolError(libraryPath + " is not a usable plug-in: its entry point returned no effect");
  }
  if (effect->magic != kEffectMagic) {
    dlclose(library);
    throw ToolError(libraryPath +
                    " is not a plug-in of this interface: its effect record has the wrong magic number");
  }
  if (effect->outputCount < 1 || effect->replace == nullptr) {
    // Closing is still owed to the instance.
    effect->dispatcher(effect, EffectOpcode::close, 0, 0, nullptr, 0.0f);
    dlclose(library);
    throw ToolError(libraryPath + " has no audio output to render");
  }

  inputBuffers.assign(static_cast<size_t>(std::max(effect->inputCount, 0)),
                      std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  outputBuffers.assign(static_cast<size_t>(effect->outputCount),
                       std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  for (auto& b : inputBuffers) inputPointers.push_back(b.data());
  for (auto& b : outputBuffers) outputPointers.push_back(b.data());
  // A host always passes an array, even to a plug-in without inputs.
  if (inputPointers.empty()) inputPointers.push_back(nullptr);

  dispatch(EffectOpcode::open);
  dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, sampleRate);
  dispatch(EffectOpcode::setBlockSize, 0, blockSize);
}

HostedPlugin::~HostedPlugin() {
  if (processing) {
    dispatch(EffectOpcode::stopProcessing);
    dispatch(EffectOpcode::processingOnOff, 0, 0);
  }
  // The dispatcher frees the instance on close; the record is gone after it.
  dispatch(EffectOpcode::close);
  effect = nullptr;
  dlclose(library);
}

intptr_t HostedPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string HostedPlugin::effectName() {
  char name[kParameterNameBytes + 1] = {};
  dispatch(EffectOpcode::getEffectName, 0, 0, name);
  name[kParameterNameBytes] = 0;
  return name;
}

std::optional<int32_t> HostedPlugin::findParameter(const std::string& name) {
  for (int32_t i = 0; i < effect->parameterCount; ++i) {
    char text[kParameterNameBytes + 1] = {};
    dispatch(EffectOpcode::getParameterName, i, 0, text);
    text[kParameterNameBytes] = 0;
    if (name == text) return i;
  }
  return std::nullopt;
}

std::vector<uint8_t> HostedPlugin::getChunk() {
  void* data = nullptr;
  const intptr_t size = dispatch(EffectOpcode::getChunk, 0, 0, &data);
  if (data == nullptr || size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool HostedPlugin::setChunk(const std::vector<uint8_t>& bytes) {
  // The opcode passes a pointer to writable memory; the caller's bytes stay untouched.
  std::vector<uint8_t> copy = bytes;
  return dispatch(EffectOpcode::setChunk, 0, static_cast<intptr_t>(copy.size()), copy.data()) != 0;
}

void HostedPlugin::startProcessing() {
  dispatch(EffectOpcode::processingOnOff, 0, 1);
  dispatch(EffectOpcode::startProcessing);
  processing = true;
}

void HostedPlugin::sendMidi(const std::vector<MidiMessage>& messages) {
  eventStorage.assign(messages.size(), MidiEvent{});
  // Header (count, reserved) and then one pointer per event, each slot
  // pointer-sized as the interface lays it out.
  eventBlockStorage.assign(2 + messages.size(), 0);
  const auto count = static_cast<int32_t>(messages.size());
  std::memcpy(eventBlockStorage.data(), &count, sizeof(count));
  for (size_t i = 0; i < messages.size(); ++i) {
    MidiEvent& event = eventStorage[i];
    event.type = kMidiEventType;
    event.byteSize = sizeof(MidiEvent);
    for (size_t b = 0; b < 3; ++b) event.midiData[b] = static_cast<char>(messages[i][b]);
    eventBlockStorage[2 + i] = reinterpret_cast<intptr_t>(&event);
  }
  dispatch(EffectOpcode::processEvents, 0, 0, eventBlockStorage.data());
}

const float* HostedPlugin::process(int32_t frames) {
  frames = std::min(frames, maxFrames);
  for (auto& b : inputBuffers) std::fill(b.begin(), b.begin() + frames, 0.0f);
  for (auto& b : outputBuffers) std::fill(b.begin(), b.begin() + frames, 0.0f);
  effect->replace(effect, inputPointers.data(), outputPointers.data(), frames);
  return outputBuffers[0].data();
}

}  // namespace sarn2tool
