#include "tools/host/host_callback.h"

#include "frame/bounded_text.h"

namespace pluginhost {

namespace {

// Hosts hand out strings in buffers of 64 bytes.
constexpr int32_t kHostStringBytes = 64;

}  // namespace

HostCallLog& callLog() {
  static HostCallLog log;
  return log;
}

int HostCallLog::count(int32_t opcode) const {
  int n = 0;
  for (const HostCall& call : calls) n += call.opcode == opcode ? 1 : 0;
  return n;
}

intptr_t hostCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
  HostCallLog& log = callLog();
  if (log.recording) log.calls.push_back(HostCall{effect, opcode, index, value, ptr, opt});
  const HostAnswers& answers = log.answers;
  switch (opcode) {
    case HostOpcode::version:
      return answers.version;
    case HostOpcode::getSampleRate:
      return static_cast<intptr_t>(answers.sampleRate);
    case HostOpcode::getBlockSize:
      return answers.blockSize;
    case HostOpcode::vendorString:
    case HostOpcode::productString:
      if (answers.name.empty() || ptr == nullptr) return 0;
      copyBoundedText(static_cast<char*>(ptr), answers.name.c_str(), kHostStringBytes - 1);
      return 1;
    case HostOpcode::vendorVersion:
      return answers.vendorVersion;
    case HostOpcode::wantMidi:
      return answers.acceptsMidi;
    case HostOpcode::updateDisplay:
      return answers.updatesDisplay;
    default:
      return 0;
  }
}

}  // namespace pluginhost
