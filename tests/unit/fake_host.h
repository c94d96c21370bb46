// A host callback for unit tests: records every call and answers from a
// table (0 for opcodes it has no answer for).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "tests/support/plugin_host.h"

namespace fakehost {

struct FakeHost {
  std::vector<testhost::HostCall> calls;
  std::map<int32_t, intptr_t> answers;
  // Runs inside the callback, before it answers.
  std::function<void(const testhost::HostCall&)> onCall;
};

inline FakeHost& host() {
  static FakeHost instance;
  return instance;
}

inline void reset() { host() = FakeHost{}; }

inline intptr_t callback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                         float opt) {
  FakeHost& h = host();
  h.calls.push_back(testhost::HostCall{effect, opcode, index, value, ptr, opt});
  if (h.onCall) h.onCall(h.calls.back());
  const auto answer = h.answers.find(opcode);
  return answer != h.answers.end() ? answer->second : 0;
}

}  // namespace fakehost
