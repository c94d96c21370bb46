// A progress bar on standard error while a render runs, drawn only when
// standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace sarn2tool {

class RenderProgress {
 public:
  // expectedFrames may be exceeded (a tail of unknown length); the bar then
  // stays full and the seconds keep counting.
  RenderProgress(bool enabled, int64_t expectedFrames, double sampleRate);
  void update(int64_t frames);
  // Clears the bar's line.
  void finish();

 private:
  bool enabled;
  int64_t expected;
  double rate;
  std::chrono::steady_clock::time_point lastDrawn{};
  bool drawn = false;
};

}  // namespace sarn2tool
