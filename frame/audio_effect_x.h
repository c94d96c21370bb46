// The extended framework class: the second level of opcode dispatch
// (opcodes 25 to 79), the remaining host requests, and their defaults.
#pragma once

#include "frame/audio_effect.h"

namespace frame {

// One speaker of an arrangement, as hosts lay it out (112 bytes).
struct SpeakerRecord {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  int32_t type;
  char future[28];
};
static_assert(sizeof(SpeakerRecord) == 112);

// A channel arrangement: type, count, then one speaker record per channel.
struct SpeakerArrangement {
  int32_t type;
  int32_t channelCount;
  SpeakerRecord speakers[1];  // really channelCount entries
};
static_assert(offsetof(SpeakerArrangement, speakers) == 8);

class AudioEffectX : public AudioEffect {
 public:
  using AudioEffect::AudioEffect;

  intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

  virtual bool isParameterAutomatable(int32_t /*index*/) { return true; }
  virtual bool parameterFromText(int32_t /*index*/, char* /*text*/) { return false; }
  virtual bool getParameterInfo(int32_t /*index*/, void* /*properties*/) { return false; }
  virtual bool beginParameterEdit(int32_t index);
  virtual bool endParameterEdit(int32_t index);
  virtual bool getProgramNameByIndex(int32_t /*category*/, int32_t /*index*/, char* /*text*/) {
    return false;
  }
  virtual bool beginProgramChange() { return false; }
  virtual bool endProgramChange() { return false; }
  virtual intptr_t beginBankLoad(void* /*patchChunkInfo*/) { return 0; }
  virtual intptr_t beginProgramLoad(void* /*patchChunkInfo*/) { return 0; }
  virtual bool notifyIoChanged();
  virtual float refreshSampleRate();
  virtual int32_t refreshBlockSize();
  virtual intptr_t getInputLatency();
  virtual intptr_t getOutputLatency();
  virtual bool getInputInfo(int32_t /*index*/, void* /*properties*/) { return false; }
  virtual bool getOutputInfo(int32_t /*index*/, void* /*properties*/) { return false; }
  virtual bool setArrangement(void* /*inputs*/, void* /*outputs*/) { return false; }
  virtual bool getArrangement(SpeakerArrangement** inputs, SpeakerArrangement** outputs);
  virtual bool setBypass(bool /*onOff*/) { return false; }
  virtual bool setPanLaw(intptr_t /*type*/, float /*value*/) { return false; }
  virtual bool setPrecision(intptr_t /*precision*/) { return false; }
  virtual intptr_t getMidiInputChannelCount() { return 0; }
  virtual intptr_t getMidiOutputChannelCount() { return 0; }
  virtual void* getTimeInfo(intptr_t filter);
  virtual intptr_t getProcessLevel();
  virtual intptr_t getAutomationState();
  virtual intptr_t processEvents(void* /*events*/) { return 0; }
  virtual intptr_t startProcessing() { return 0; }
  virtual intptr_t stopProcessing() { return 0; }
  virtual bool processVariableBlock(void* /*block*/) { return false; }
  virtual intptr_t setTotalSampleCount(intptr_t value) { return value; }
  virtual bool getHostVendor(char* text);
  virtual bool getHostProduct(char* text);
  virtual intptr_t getHostVendorVersion();
  virtual intptr_t hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt);
  virtual intptr_t hostCanDo(const char* text);
  virtual intptr_t getHostLanguage();
  virtual void setIsSynth(bool state) { setFlag(EffectFlags::kIsSynth, state); }
  virtual void setNoTail(bool state) { setFlag(EffectFlags::kNoTail, state); }
  virtual intptr_t getTailSize() { return 0; }
  virtual void* getHostDirectory();
  virtual bool getEffectName(char* /*name*/) { return false; }
  virtual bool getVendorName(char* /*text*/) { return false; }
  virtual bool getProductName(char* /*text*/) { return false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual intptr_t vendorCall(int32_t /*index*/, intptr_t /*value*/, void* /*ptr*/, float /*opt*/) {
    return 0;
  }
  virtual intptr_t queryCapability(const char* /*text*/) { return 0; }
  virtual int32_t getInterfaceVersion() { return 2400; }
  // A synth answers 2; every other effect leaves its category unknown.
  virtual intptr_t getCategory() { return (effectRecord.flags & EffectFlags::kIsSynth) != 0 ? 2 : 0; }
  virtual intptr_t getMidiProgramName(int32_t /*channel*/, void* /*name*/) { return 0; }
  virtual intptr_t getCurrentMidiProgram(int32_t /*channel*/, void* /*name*/) { return -1; }
  virtual intptr_t getMidiProgramCategory(int32_t /*channel*/, void* /*category*/) { return 0; }
  virtual bool midiProgramsChanged(int32_t /*channel*/) { return false; }
  virtual bool getMidiKeyName(int32_t /*channel*/, void* /*keyName*/) { return false; }
  virtual bool refreshDisplay();
  virtual bool resizeWindow(int32_t width, int32_t height);
  virtual bool openFileSelector(void* selector);
  virtual bool closeFileSelector(void* selector);
  virtual intptr_t getNextShellPlugin(char* /*name*/) { return 0; }
  virtual bool allocateArrangement(SpeakerArrangement** arrangement, int32_t channelCount);
  virtual bool releaseArrangement(SpeakerArrangement** arrangement);
  virtual bool copySpeaker(SpeakerRecord* target, const SpeakerRecord* source);
  virtual bool matchArrangement(SpeakerArrangement** target, const SpeakerArrangement* source);
  virtual bool offlineRead(void* task, intptr_t option, bool readSource);
  virtual bool offlineWrite(void* task, intptr_t option);
  virtual bool offlineStart(void* files, intptr_t fileCount, int32_t newFileCount);
  virtual bool offlineCurrentPass();
  virtual bool offlineCurrentMetaPass();
  virtual bool offlineNotify(void* /*audioFile*/, intptr_t /*fileCount*/, bool /*start*/) { return false; }
  virtual bool offlinePrepare(void* /*tasks*/, intptr_t /*count*/) { return false; }
  virtual bool offlineRun(void* /*tasks*/, intptr_t /*count*/) { return false; }
  virtual intptr_t offlinePassCount() { return 0; }
  virtual intptr_t offlineMetaPassCount() { return 0; }
  virtual void requestEvents(intptr_t filter);
  virtual intptr_t getTempoAt(intptr_t position);
  virtual intptr_t getHostParameterCount();
  virtual intptr_t getParameterQuantization();
  virtual intptr_t getCategoryCount() { return 1; }
  virtual bool copyProgram(int32_t /*destination*/) { return false; }
  virtual bool requestIdle();
  virtual EffectRecord* getPreviousPlugin(int32_t input);
  virtual EffectRecord* getNextPlugin(int32_t output);
  virtual void inputConnected(int32_t /*index*/, bool /*state*/) {}
  virtual void outputConnected(int32_t /*index*/, bool /*state*/) {}
  virtual intptr_t hostWillReplace();
  virtual void setWantsAsync(bool state) { setFlag(EffectFlags::kWantsAsync, state); }
  virtual void setHasExternalBuffer(bool state) { setFlag(EffectFlags::kHasExternalBuffer, state); }
  virtual intptr_t reportPosition() { return 0; }
  virtual float* reportDestinationBuffer() { return nullptr; }
  virtual intptr_t setOutputSampleRate(float rate);
  virtual void* getHostInputArrangement();
  virtual void* getHostOutputArrangement();
  virtual intptr_t openWindow(void* window);
  virtual bool closeWindow(void* window);
  virtual void setBlockSizeAndSampleRate(int32_t size, float rate);
  virtual bool reservedQuery1(intptr_t /*argument*/) { return false; }
  virtual intptr_t reservedQuery2() { return 0; }
  virtual bool reservedQuery3(intptr_t /*first*/, intptr_t /*second*/) { return false; }
  virtual intptr_t reservedQuery4() { return 0; }
  virtual bool reservedQuery5() { return false; }
  virtual bool getChunkFile(void* path);
  virtual bool reservedQuery6() { return true; }
  virtual void reservedNotify(intptr_t /*first*/, intptr_t /*second*/) {}

 private:
  // Host requests that answer true for any non-zero reply.
  bool askHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
    return callHost(opcode, index, value, ptr) != 0;
  }
};

}  // namespace frame
