// Effect record set-up, the six entry functions and the first level of
// opcode dispatch (opcodes 0 to 24).
#include "frame/audio_effect.h"

#include <cstring>

namespace frame {

namespace {

AudioEffect* owner(EffectRecord* effect) {
  return effect != nullptr ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

}  // namespace

AudioEffect::AudioEffect(HostCallback callback, int32_t programs, int32_t parameters)
    : hostCallback(callback), programCount(programs), parameterCount(parameters) {
  std::memset(&effectRecord, 0, sizeof(effectRecord));
  effectRecord.flags = EffectFlags::kCanReplace;
  effectRecord.ioRatio = 1.0f;
  effectRecord.magic = kEffectMagic;
  effectRecord.programCount = programs;
  effectRecord.parameterCount = parameters;
  effectRecord.inputCount = 1;
  effectRecord.outputCount = 2;
  effectRecord.version = 1;
  effectRecord.uniqueId = fourCharCode('N', 'o', 'E', 'f');
  effectRecord.object = this;
  effectRecord.dispatcher = &dispatcherEntry;
  effectRecord.accumulate = &accumulateEntry;
  effectRecord.setParameter = &setParameterEntry;
  effectRecord.getParameter = &getParameterEntry;
  effectRecord.replace = &replaceEntry;
  effectRecord.replaceDouble = &replaceDoubleEntry;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setFlag(int32_t flag, bool state) {
  if (state)
    effectRecord.flags |= flag;
  else
    effectRecord.flags &= ~flag;
}

// Nothing may unwind into the host: an operation that fails answers 0.
intptr_t AudioEffect::dispatcherEntry(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                      void* ptr, float opt) {
  AudioEffect* object = owner(effect);
  if (object == nullptr) return 0;
  if (opcode == EffectOpcode::close) {
    // The host lets go of the record after this call whatever happens, so
    // the object goes even if its close operation fails.
    try {
      object->dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
    }
    delete object;
    return 1;
  }
  try {
    return object->dispatch(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

void AudioEffect::accumulateEntry(EffectRecord* effect, float** inputs, float** outputs,
                                  int32_t sampleFrames) {
  if (AudioEffect* object = owner(effect)) object->renderBlockAccumulating(inputs, outputs, sampleFrames);
}

void AudioEffect::replaceEntry(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames) {
  if (AudioEffect* object = owner(effect)) object->renderBlock(inputs, outputs, sampleFrames);
}

void AudioEffect::replaceDoubleEntry(EffectRecord* effect, double** inputs, double** outputs,
                                     int32_t sampleFrames) {
  if (AudioEffect* object = owner(effect)) object->renderBlockDouble(inputs, outputs, sampleFrames);
}

void AudioEffect::setParameterEntry(EffectRecord* effect, int32_t index, float value) {
  if (AudioEffect* object = owner(effect)) object->setParameter(index, value);
}

float AudioEffect::getParameterEntry(EffectRecord* effect, int32_t index) {
  AudioEffect* object = owner(effect);
  return object != nullptr ? object->getParameter(index) : 0.0f;
}

intptr_t AudioEffect::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  // Opcodes that write through ptr answer 0 and write nothing when the host
  // passes no buffer.
  auto* text = static_cast<char*>(ptr);
  switch (opcode) {
    case EffectOpcode::open:
      open();
      return 0;
    case EffectOpcode::close:
      close();
      return 0;
    case EffectOpcode::setProgram:
      if (static_cast<int32_t>(value) < programCount) setProgram(static_cast<int32_t>(value));
      return 0;
    case EffectOpcode::getProgram:
      return getProgram();
    case EffectOpcode::setProgramName:
      if (text != nullptr) setProgramName(text);
      return 0;
    case EffectOpcode::getProgramName:
      if (text != nullptr) getProgramName(text);
      return 0;
    case EffectOpcode::getParameterLabel:
      if (text != nullptr) getParameterLabel(index, text);
      return 0;
    case EffectOpcode::getParameterDisplay:
      if (text != nullptr) getParameterDisplay(index, text);
      return 0;
    case EffectOpcode::getParameterName:
      if (text != nullptr) getParameterName(index, text);
      return 0;
    case EffectOpcode::setSampleRate:
      setSampleRate(opt);
      return 0;
    case EffectOpcode::setBlockSize:
      setBlockSize(static_cast<int32_t>(value));
      return 0;
    case EffectOpcode::processingOnOff:
      if (value == 0)
        suspend();
      else
        resume();
      return 0;
    case EffectOpcode::editorGetRect:
      return editor != nullptr && ptr != nullptr && editor->getViewRect(ptr) ? 1 : 0;
    case EffectOpcode::editorOpen:
      return editor != nullptr && editor->openView(ptr) ? 1 : 0;
    case EffectOpcode::editorClose:
      if (editor != nullptr) editor->closeView();
      return 0;
    case EffectOpcode::editorIdle:
      if (editor != nullptr) editor->idleView();
      return 0;
    case EffectOpcode::identify:
      return kIdentifyAnswer;
    case EffectOpcode::getChunk:
      return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case EffectOpcode::setChunk:
      return setChunk(ptr, value, index != 0);
    default:
      return 0;
  }
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  if (hostCallback == nullptr) return 0;
  return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

void AudioEffect::automateParameter(int32_t index, float value) {
  setParameter(index, value);
  callHost(HostOpcode::automate, index, 0, nullptr, value);
}

intptr_t AudioEffect::getHostVersion() {
  const intptr_t answer = callHost(HostOpcode::version);
  return answer != 0 ? answer : 1;
}

intptr_t AudioEffect::getHostCurrentId() { return callHost(HostOpcode::currentId); }

void AudioEffect::hostIdle() { callHost(HostOpcode::idle); }

bool AudioEffect::isInputConnected(int32_t input) {
  return callHost(HostOpcode::pinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
  return callHost(HostOpcode::pinConnected, output, 1) == 0;
}

}  // namespace frame
