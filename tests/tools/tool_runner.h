// Running the built sarn2 program as a user would, and reading what it
// writes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_rom_dir.h"

namespace tooltest {

struct ToolRun {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// This process's environment with the variables set (or replaced).
std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& overrides);
// XDG_DATA_HOME pointing at an empty directory inside scratch and
// XDG_DATA_DIRS at a missing one: no user's or system-wide ROM set.
std::vector<std::pair<std::string, std::string>> privateDataHome(const testhost::TempDir& scratch);

// A program running beside the test, its output going to files. Killed
// and reaped with the object unless it has exited.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void signal(int signalNumber);
  // True once the program has exited (within seconds); result() then holds
  // its status and output.
  bool wait(double seconds);
  const ToolRun& result() const { return run; }
  // What it has written to standard output so far.
  std::string output() const;

 private:
  testhost::TempDir scratch;
  std::string outFile, errFile;
  int pid = -1;
  bool finished = false;
  ToolRun run;
};

// Runs sarn2 with the arguments; a run still going after a minute is killed.
// XDG_DATA_HOME points at an empty private directory and XDG_DATA_DIRS at a
// missing one unless env sets them, so no run ever sees the user's own or a
// system-wide ROM set.
ToolRun runSarn2(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env = {});

struct Wav {
  int rate = 0;
  int channels = 0;
  int format = 0;  // libsndfile format word
  std::vector<float> samples;
};
// The file's first channel; rate 0 when it cannot be read.
Wav readWav(const std::string& path);

std::vector<std::string> directoryEntries(const std::string& directory);
std::vector<uint8_t> readBytes(const std::string& path);
// Width and height from a PNG file's header; 0, 0 when it is no PNG.
std::pair<uint32_t, uint32_t> pngSize(const std::vector<uint8_t>& bytes);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tooltest
