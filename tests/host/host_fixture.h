// Shared set-up for tests that drive the built library as a host: an empty
// ROM directory, the loaded library and a fresh recording callback.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

namespace hosttest {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testhost::recorder().reset();
    ASSERT_TRUE(library.loaded()) << testhost::pluginPath();
  }
  testhost::PlatformRoms noRoms;
  testhost::PluginLibrary library;
};

// A request the instrument sent the host: from its own record, with only an
// opcode and a value, everything else null or 0.
inline void expectPlainHostCall(const testhost::HostCall& call, const EffectRecord* effect, int32_t opcode,
                                intptr_t value) {
  EXPECT_EQ(call.effect, effect);
  EXPECT_EQ(call.opcode, opcode);
  EXPECT_EQ(call.index, 0);
  EXPECT_EQ(call.value, value);
  EXPECT_EQ(call.ptr, nullptr);
  EXPECT_EQ(call.opt, 0.0f);
}

// A host text buffer filled with a guard byte, to see exactly which bytes a
// call wrote.
class GuardedText {
 public:
  static constexpr char kGuard = 'Q';
  GuardedText() { bytes.fill(kGuard); }
  char* data() { return bytes.data(); }
  char at(size_t i) const { return bytes[i]; }
  // The text up to its terminator (or all bytes when there is none).
  std::string text() const { return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0)); }
  bool untouchedFrom(size_t first) const {
    for (size_t i = first; i < bytes.size(); ++i)
      if (bytes[i] != kGuard) return false;
    return true;
  }
  bool untouched() const { return untouchedFrom(0); }
  // The text, then zero bytes up to and including position bound, then the
  // guard: how bounded copies leave a buffer.
  bool holdsBounded(const std::string& expected, size_t bound) const {
    if (text() != expected) return false;
    for (size_t i = expected.size(); i <= bound; ++i)
      if (bytes[i] != 0) return false;
    return untouchedFrom(bound + 1);
  }

 private:
  std::array<char, 128> bytes;
};

}  // namespace hosttest
