// The binary interface shared with hosts: the effect record, the callback
// signatures and the opcode numbers of the 2.4 plug-in interface.
#pragma once

#include <cstddef>
#include <cstdint>

struct EffectRecord;

// Every pointer-sized value crosses the interface as a signed integer of the
// target's pointer width; on the 32-bit target all of them are 32 bits.
using HostCallback = intptr_t (*)(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt);
using DispatcherEntry = intptr_t (*)(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                     void* ptr, float opt);
using ProcessEntry = void (*)(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames);
using ProcessDoubleEntry = void (*)(EffectRecord* effect, double** inputs, double** outputs,
                                    int32_t sampleFrames);
using SetParameterEntry = void (*)(EffectRecord* effect, int32_t index, float value);
using GetParameterEntry = float (*)(EffectRecord* effect, int32_t index);

// Laid out exactly as hosts expect it: 144 bytes with 4-byte pointers; on
// 64-bit targets the pointer-sized fields widen to 8 bytes at natural
// alignment, 192 bytes in all.
struct EffectRecord {
  int32_t magic;
  DispatcherEntry dispatcher;
  ProcessEntry accumulate;
  SetParameterEntry setParameter;
  GetParameterEntry getParameter;
  int32_t programCount;
  int32_t parameterCount;
  int32_t inputCount;
  int32_t outputCount;
  int32_t flags;
  intptr_t reserved1;
  intptr_t reserved2;
  int32_t initialDelay;
  int32_t realtimeQualities;
  int32_t offlineQualities;
  float ioRatio;
  void* object;
  void* user;
  int32_t uniqueId;
  int32_t version;
  ProcessEntry replace;
  ProcessDoubleEntry replaceDouble;
  char reserved[56];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(EffectRecord) == 144);
static_assert(offsetof(EffectRecord, dispatcher) == 4);
static_assert(offsetof(EffectRecord, accumulate) == 8);
static_assert(offsetof(EffectRecord, setParameter) == 12);
static_assert(offsetof(EffectRecord, getParameter) == 16);
static_assert(offsetof(EffectRecord, programCount) == 20);
static_assert(offsetof(EffectRecord, parameterCount) == 24);
static_assert(offsetof(EffectRecord, inputCount) == 28);
static_assert(offsetof(EffectRecord, outputCount) == 32);
static_assert(offsetof(EffectRecord, flags) == 36);
static_assert(offsetof(EffectRecord, reserved1) == 40);
static_assert(offsetof(EffectRecord, reserved2) == 44);
static_assert(offsetof(EffectRecord, initialDelay) == 48);
static_assert(offsetof(EffectRecord, realtimeQualities) == 52);
static_assert(offsetof(EffectRecord, offlineQualities) == 56);
static_assert(offsetof(EffectRecord, ioRatio) == 60);
static_assert(offsetof(EffectRecord, object) == 64);
static_assert(offsetof(EffectRecord, user) == 68);
static_assert(offsetof(EffectRecord, uniqueId) == 72);
static_assert(offsetof(EffectRecord, version) == 76);
static_assert(offsetof(EffectRecord, replace) == 80);
static_assert(offsetof(EffectRecord, replaceDouble) == 84);
static_assert(offsetof(EffectRecord, reserved) == 88);
#elif INTPTR_MAX == INT64_MAX
static_assert(sizeof(EffectRecord) == 192);
static_assert(offsetof(EffectRecord, dispatcher) == 8);
static_assert(offsetof(EffectRecord, programCount) == 40);
static_assert(offsetof(EffectRecord, flags) == 56);
static_assert(offsetof(EffectRecord, reserved1) == 64);
static_assert(offsetof(EffectRecord, reserved2) == 72);
static_assert(offsetof(EffectRecord, initialDelay) == 80);
static_assert(offsetof(EffectRecord, ioRatio) == 92);
static_assert(offsetof(EffectRecord, object) == 96);
static_assert(offsetof(EffectRecord, user) == 104);
static_assert(offsetof(EffectRecord, uniqueId) == 112);
static_assert(offsetof(EffectRecord, version) == 116);
static_assert(offsetof(EffectRecord, replace) == 120);
static_assert(offsetof(EffectRecord, replaceDouble) == 128);
static_assert(offsetof(EffectRecord, reserved) == 136);
#else
#error "unsupported pointer width"
#endif

// Four characters read as a big-endian code.
constexpr int32_t fourCharCode(char a, char b, char c, char d) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');
constexpr int32_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');

namespace EffectFlags {
constexpr int32_t kHasEditor = 0x1;
constexpr int32_t kHasClip = 0x2;
constexpr int32_t kHasMeter = 0x4;
constexpr int32_t kCanMono = 0x8;
constexpr int32_t kCanReplace = 0x10;
constexpr int32_t kProgramsAreChunks = 0x20;
constexpr int32_t kIsSynth = 0x100;
constexpr int32_t kNoTail = 0x200;
constexpr int32_t kWantsAsync = 0x400;
constexpr int32_t kHasExternalBuffer = 0x800;
constexpr int32_t kCanReplaceDouble = 0x1000;
}  // namespace EffectFlags

// Host-to-plug-in opcodes (through the dispatcher entry).
namespace EffectOpcode {
enum : int32_t {
  open = 0,
  close = 1,
  setProgram = 2,
  getProgram = 3,
  setProgramName = 4,
  getProgramName = 5,
  getParameterLabel = 6,
  getParameterDisplay = 7,
  getParameterName = 8,
  setSampleRate = 10,
  setBlockSize = 11,
  processingOnOff = 12,
  editorGetRect = 13,
  editorOpen = 14,
  editorClose = 15,
  editorIdle = 19,
  identify = 22,
  getChunk = 23,
  setChunk = 24,
  processEvents = 25,
  canBeAutomated = 26,
  parameterFromText = 27,
  getProgramNameByIndex = 29,
  getInputProperties = 33,
  getOutputProperties = 34,
  getCategory = 35,
  offlineNotify = 38,
  offlinePrepare = 39,
  offlineRun = 40,
  processVariableBlock = 41,
  setSpeakerArrangement = 42,
  setBypass = 44,
  getEffectName = 45,
  getVendorName = 47,
  getProductName = 48,
  getVendorVersion = 49,
  vendorSpecific = 50,
  canDo = 51,
  getTailSize = 52,
  getParameterProperties = 56,
  getInterfaceVersion = 58,
  editorKeyDown = 59,
  editorKeyUp = 60,
  setEditorKnobMode = 61,
  getMidiProgramName = 62,
  getCurrentMidiProgram = 63,
  getMidiProgramCategory = 64,
  midiProgramsChanged = 65,
  getMidiKeyName = 66,
  beginProgramChange = 67,
  endProgramChange = 68,
  getSpeakerArrangement = 69,
  nextShellPlugin = 70,
  startProcessing = 71,
  stopProcessing = 72,
  setTotalSampleCount = 73,
  setPanLaw = 74,
  beginBankLoad = 75,
  beginProgramLoad = 76,
  setPrecision = 77,
  getMidiInputChannelCount = 78,
  getMidiOutputChannelCount = 79,
};
}  // namespace EffectOpcode

// Plug-in-to-host opcodes (through the host callback).
namespace HostOpcode {
enum : int32_t {
  automate = 0,
  version = 1,
  currentId = 2,
  idle = 3,
  pinConnected = 4,
  wantMidi = 6,
  getTime = 7,
  tempoAt = 10,
  numAutomatableParameters = 11,
  parameterQuantization = 12,
  ioChanged = 13,
  needIdle = 14,
  sizeWindow = 15,
  getSampleRate = 16,
  getBlockSize = 17,
  inputLatency = 18,
  outputLatency = 19,
  previousPlugin = 20,
  nextPlugin = 21,
  willReplaceOrAccumulate = 22,
  currentProcessLevel = 23,
  automationState = 24,
  offlineStart = 25,
  offlineRead = 26,
  offlineWrite = 27,
  offlineCurrentPass = 28,
  offlineCurrentMetaPass = 29,
  setOutputSampleRate = 30,
  outputSpeakerArrangement = 31,
  vendorString = 32,
  productString = 33,
  vendorVersion = 34,
  vendorSpecific = 35,
  canDo = 37,
  language = 38,
  openWindow = 39,
  closeWindow = 40,
  directory = 41,
  updateDisplay = 42,
  beginEdit = 43,
  endEdit = 44,
  openFileSelector = 45,
  closeFileSelector = 46,
  editFile = 47,
  chunkFile = 48,
  inputSpeakerArrangement = 49,
};
}  // namespace HostOpcode

// The parts of a host's event block that the instrument reads.
// The list of event pointers runs on past the two the type declares, to
// eventCount entries; it is always reached through eventList().
struct EventBlock {
  int32_t eventCount;
  intptr_t reserved;
  struct Event* events[2];

  struct Event* const* eventList() const {
    return &events[0];
  }
  struct Event** eventList() {
    return &events[0];
  }
};

struct Event {
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  char data[16];
};

struct MidiEvent {
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  int32_t noteLength;
  int32_t noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

constexpr int32_t kMidiEventType = 1;
static_assert(offsetof(MidiEvent, midiData) == 24);
static_assert(offsetof(EventBlock, events) == 2 * sizeof(intptr_t));
