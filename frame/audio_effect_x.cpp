// Second-level opcode dispatch, host requests and speaker arrangements.
#include "frame/audio_effect_x.h"

#include "instrument/engine/numeric.h"

#include <cstdlib>
#include <cstring>

namespace frame {

namespace {

KeyRecord keyRecord(int32_t index, intptr_t value, float opt) {
  return KeyRecord{index, static_cast<uint8_t>(value & 0xFF),
                   static_cast<uint8_t>(sarn2::truncateToInt32(opt) & 0xFF)};
}

}  // namespace

intptr_t AudioEffectX::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  auto* text = static_cast<char*>(ptr);
  switch (opcode) {
    case EffectOpcode::processEvents:
      return processEvents(ptr);
    case EffectOpcode::canBeAutomated:
      return isParameterAutomatable(index) ? 1 : 0;
    case EffectOpcode::parameterFromText:
      return parameterFromText(index, text) ? 1 : 0;
    case EffectOpcode::getProgramNameByIndex:
      return text != nullptr && getProgramNameByIndex(static_cast<int32_t>(value), index, text) ? 1 : 0;
    case EffectOpcode::getInputProperties:
      return ptr != nullptr && getInputInfo(index, ptr) ? 1 : 0;
    case EffectOpcode::getOutputProperties:
      return ptr != nullptr && getOutputInfo(index, ptr) ? 1 : 0;
    case EffectOpcode::getCategory:
      return getCategory();
    case EffectOpcode::offlineNotify:
      return offlineNotify(ptr, value, index != 0) ? 1 : 0;
    case EffectOpcode::offlinePrepare:
      return offlinePrepare(ptr, value) ? 1 : 0;
    case EffectOpcode::offlineRun:
      return offlineRun(ptr, value) ? 1 : 0;
    case EffectOpcode::processVariableBlock:
      return processVariableBlock(ptr) ? 1 : 0;
    case EffectOpcode::setSpeakerArrangement:
      return setArrangement(reinterpret_cast<void*>(value), ptr) ? 1 : 0;
    case EffectOpcode::setBypass:
      return setBypass(value != 0) ? 1 : 0;
    case EffectOpcode::getEffectName:
      return text != nullptr && getEffectName(text) ? 1 : 0;
    case EffectOpcode::getVendorName:
      return text != nullptr && getVendorName(text) ? 1 : 0;
    case EffectOpcode::getProductName:
      return text != nullptr && getProductName(text) ? 1 : 0;
    case EffectOpcode::getVendorVersion:
      return getVendorVersion();
    case EffectOpcode::vendorSpecific:
      return vendorCall(index, value, ptr, opt);
    case EffectOpcode::canDo:
      return text != nullptr ? queryCapability(text) : 0;
    case EffectOpcode::getTailSize:
      return getTailSize();
    case EffectOpcode::getParameterProperties:
      return ptr != nullptr && getParameterInfo(index, ptr) ? 1 : 0;
    case EffectOpcode::getInterfaceVersion:
      return getInterfaceVersion();
    case EffectOpcode::editorKeyDown:
      if (editor != nullptr) {
        KeyRecord key = keyRecord(index, value, opt);
        return editor->viewKeyDown(key) ? 1 : 0;
      }
      return 0;
    case EffectOpcode::editorKeyUp:
      if (editor != nullptr) {
        KeyRecord key = keyRecord(index, value, opt);
        return editor->viewKeyUp(key) ? 1 : 0;
      }
      return 0;
    case EffectOpcode::setEditorKnobMode:
      return editor != nullptr && editor->setViewKnobMode(value) ? 1 : 0;
    case EffectOpcode::getMidiProgramName:
      return getMidiProgramName(index, ptr);
    case EffectOpcode::getCurrentMidiProgram:
      return getCurrentMidiProgram(index, ptr);
    case EffectOpcode::getMidiProgramCategory:
      return getMidiProgramCategory(index, ptr);
    case EffectOpcode::midiProgramsChanged:
      return midiProgramsChanged(index) ? 1 : 0;
    case EffectOpcode::getMidiKeyName:
      return getMidiKeyName(index, ptr) ? 1 : 0;
    case EffectOpcode::beginProgramChange:
      return beginProgramChange() ? 1 : 0;
    case EffectOpcode::endProgramChange:
      return endProgramChange() ? 1 : 0;
    case EffectOpcode::getSpeakerArrangement:
      return getArrangement(reinterpret_cast<SpeakerArrangement**>(value),
                            static_cast<SpeakerArrangement**>(ptr))
                 ? 1
                 : 0;
    case EffectOpcode::nextShellPlugin:
      return text != nullptr ? getNextShellPlugin(text) : 0;
    case EffectOpcode::startProcessing:
      return startProcessing();
    case EffectOpcode::stopProcessing:
      return stopProcessing();
    case EffectOpcode::setTotalSampleCount:
      return setTotalSampleCount(value);
    case EffectOpcode::setPanLaw:
      return setPanLaw(value, opt) ? 1 : 0;
    case EffectOpcode::beginBankLoad:
      return beginBankLoad(ptr);
    case EffectOpcode::beginProgramLoad:
      return beginProgramLoad(ptr);
    case EffectOpcode::setPrecision:
      return setPrecision(value) ? 1 : 0;
    case EffectOpcode::getMidiInputChannelCount:
      return getMidiInputChannelCount();
    case EffectOpcode::getMidiOutputChannelCount:
      return getMidiOutputChannelCount();
    default:
      return AudioEffect::dispatch(opcode, index, value, ptr, opt);
  }
}

// The framework answers no arrangement: null through each address given.
bool AudioEffectX::getArrangement(SpeakerArrangement** inputs, SpeakerArrangement** outputs) {
  if (inputs != nullptr) *inputs = nullptr;
  if (outputs != nullptr) *outputs = nullptr;
  return false;
}

bool AudioEffectX::beginParameterEdit(int32_t index) { return askHost(HostOpcode::beginEdit, index); }
bool AudioEffectX::endParameterEdit(int32_t index) { return askHost(HostOpcode::endEdit, index); }
bool AudioEffectX::notifyIoChanged() { return askHost(HostOpcode::ioChanged); }

float AudioEffectX::refreshSampleRate() {
  const intptr_t answer = callHost(HostOpcode::getSampleRate);
  if (answer > 0) setSampleRate(static_cast<float>(answer));
  return getSampleRate();
}

int32_t AudioEffectX::refreshBlockSize() {
  const intptr_t answer = callHost(HostOpcode::getBlockSize);
  if (answer > 0) setBlockSize(static_cast<int32_t>(answer));
  return getBlockSize();
}

intptr_t AudioEffectX::getInputLatency() { return callHost(HostOpcode::inputLatency); }
intptr_t AudioEffectX::getOutputLatency() { return callHost(HostOpcode::outputLatency); }

void* AudioEffectX::getTimeInfo(intptr_t filter) {
  return reinterpret_cast<void*>(callHost(HostOpcode::getTime, 0, filter));
}

intptr_t AudioEffectX::getProcessLevel() { return callHost(HostOpcode::currentProcessLevel); }
intptr_t AudioEffectX::getAutomationState() { return callHost(HostOpcode::automationState); }
bool AudioEffectX::getHostVendor(char* text) { return askHost(HostOpcode::vendorString, 0, 0, text); }
bool AudioEffectX::getHostProduct(char* text) { return askHost(HostOpcode::productString, 0, 0, text); }
intptr_t AudioEffectX::getHostVendorVersion() { return callHost(HostOpcode::vendorVersion); }

intptr_t AudioEffectX::hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt) {
  return callHost(HostOpcode::vendorSpecific, index, value, ptr, opt);
}

intptr_t AudioEffectX::hostCanDo(const char* text) {
  return askHost(HostOpcode::canDo, 0, 0, const_cast<char*>(text)) ? 1 : 0;
}

intptr_t AudioEffectX::getHostLanguage() { return callHost(HostOpcode::language); }

void* AudioEffectX::getHostDirectory() { return reinterpret_cast<void*>(callHost(HostOpcode::directory)); }

bool AudioEffectX::refreshDisplay() { return askHost(HostOpcode::updateDisplay); }

bool AudioEffectX::resizeWindow(int32_t width, int32_t height) {
  return askHost(HostOpcode::sizeWindow, width, height);
}

bool AudioEffectX::openFileSelector(void* selector) {
  return selector != nullptr && askHost(HostOpcode::openFileSelector, 0, 0, selector);
}

bool AudioEffectX::closeFileSelector(void* selector) {
  return selector != nullptr && askHost(HostOpcode::closeFileSelector, 0, 0, selector);
}

bool AudioEffectX::getChunkFile(void* path) {
  return path != nullptr && askHost(HostOpcode::chunkFile, 0, 0, path);
}

bool AudioEffectX::allocateArrangement(SpeakerArrangement** arrangement, int32_t channelCount) {
  if (arrangement == nullptr) return false;
  releaseArrangement(arrangement);
  if (channelCount < 0) return false;
  const size_t bytes = 8 + sizeof(SpeakerRecord) * static_cast<size_t>(channelCount);
  void* memory = std::calloc(1, bytes);
  if (memory == nullptr) return false;
  auto* created = static_cast<SpeakerArrangement*>(memory);
  created->channelCount = channelCount;
  *arrangement = created;
  return true;
}

bool AudioEffectX::releaseArrangement(SpeakerArrangement** arrangement) {
  if (arrangement != nullptr && *arrangement != nullptr) {
    std::free(*arrangement);
    *arrangement = nullptr;
  }
  return true;
}

bool AudioEffectX::copySpeaker(SpeakerRecord* target, const SpeakerRecord* source) {
  if (target == nullptr || source == nullptr) return false;
  std::memcpy(target->name, source->name, sizeof(target->name) - 1);
  target->name[sizeof(target->name) - 1] = 0;
  target->type = source->type;
  target->azimuth = source->azimuth;
  target->elevation = source->elevation;
  target->radius = source->radius;
  target->reserved = source->reserved;
  std::memcpy(target->future, source->future, sizeof(target->future));
  return true;
}

bool AudioEffectX::matchArrangement(SpeakerArrangement** target, const SpeakerArrangement* source) {
  if (source == nullptr || target == nullptr) return false;
  if (!releaseArrangement(target) || !allocateArrangement(target, source->channelCount)) return false;
  (*target)->type = source->type;
  for (int32_t channel = 0; channel < source->channelCount; ++channel) {
    if (!copySpeaker(&(*target)->speakers[channel], &source->speakers[channel])) return false;
  }
  return true;
}

bool AudioEffectX::offlineRead(void* task, intptr_t option, bool readSource) {
  return askHost(HostOpcode::offlineRead, readSource ? 1 : 0, option, task);
}

bool AudioEffectX::offlineWrite(void* task, intptr_t option) {
  return askHost(HostOpcode::offlineWrite, 0, option, task);
}

bool AudioEffectX::offlineStart(void* files, intptr_t fileCount, int32_t newFileCount) {
  return askHost(HostOpcode::offlineStart, newFileCount, fileCount, files);
}

bool AudioEffectX::offlineCurrentPass() { return askHost(HostOpcode::offlineCurrentPass); }
bool AudioEffectX::offlineCurrentMetaPass() { return askHost(HostOpcode::offlineCurrentMetaPass); }

// Asks the host to deliver events; its answer carries nothing we use.
void AudioEffectX::requestEvents(intptr_t filter) { callHost(HostOpcode::wantMidi, 0, filter); }

intptr_t AudioEffectX::getTempoAt(intptr_t position) { return callHost(HostOpcode::tempoAt, 0, position); }
intptr_t AudioEffectX::getHostParameterCount() { return callHost(HostOpcode::numAutomatableParameters); }
intptr_t AudioEffectX::getParameterQuantization() { return callHost(HostOpcode::parameterQuantization); }
bool AudioEffectX::requestIdle() { return askHost(HostOpcode::needIdle); }

EffectRecord* AudioEffectX::getPreviousPlugin(int32_t /*input*/) {
  return reinterpret_cast<EffectRecord*>(callHost(HostOpcode::previousPlugin));
}

EffectRecord* AudioEffectX::getNextPlugin(int32_t /*output*/) {
  return reinterpret_cast<EffectRecord*>(callHost(HostOpcode::nextPlugin));
}

intptr_t AudioEffectX::hostWillReplace() { return callHost(HostOpcode::willReplaceOrAccumulate); }

intptr_t AudioEffectX::setOutputSampleRate(float rate) {
  return callHost(HostOpcode::setOutputSampleRate, 0, 0, nullptr, rate);
}

void* AudioEffectX::getHostInputArrangement() {
  return reinterpret_cast<void*>(callHost(HostOpcode::inputSpeakerArrangement));
}

void* AudioEffectX::getHostOutputArrangement() {
  return reinterpret_cast<void*>(callHost(HostOpcode::outputSpeakerArrangement));
}

intptr_t AudioEffectX::openWindow(void* window) { return callHost(HostOpcode::openWindow, 0, 0, window); }
bool AudioEffectX::closeWindow(void* window) { return askHost(HostOpcode::closeWindow, 0, 0, window); }

void AudioEffectX::setBlockSizeAndSampleRate(int32_t size, float rate) {
  setBlockSize(size);
  setSampleRate(rate);
}

}  // namespace frame
