// The host side of the callback a plug-in calls: it answers the requests
// a host answers and, for tests, records every call.
//
// A plug-in's entry point asks the host questions before it has handed out
// its effect record, so the answers cannot be looked up per instance: one
// log with one set of answers serves the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"

namespace pluginhost {

struct HostCall {
  EffectRecord* effect;
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
};

// What the host tells a plug-in. Every request not listed here, the time
// record among them (there is no transport), is answered with 0.
struct HostAnswers {
  intptr_t version = 2400;  // 0 tells the plug-in the host is too old
  float sampleRate = 0.0f;  // 0: not known
  int32_t blockSize = 0;    // 0: not known
  std::string name;         // vendor and product string; empty: not answered
  intptr_t vendorVersion = 0;
  intptr_t acceptsMidi = 0;  // answer to the plug-in's request for MIDI events
  intptr_t updatesDisplay = 0;
};

// The answers the callback gives and the calls it has seen. Set the answers
// before the entry point runs and leave them while instances live.
// Recording appends to a vector and so allocates: a host that lets the
// plug-in call it from an audio thread turns recording off.
struct HostCallLog {
  HostAnswers answers;
  bool recording = true;
  std::vector<HostCall> calls;

  int count(int32_t opcode) const;
  // Fresh default answers and an empty log, recording.
  void reset() { *this = HostCallLog{}; }
};

HostCallLog& callLog();
intptr_t hostCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt);

}  // namespace pluginhost
