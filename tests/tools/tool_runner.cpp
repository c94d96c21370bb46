#include "tests/tools/tool_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/temp_rom_dir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace tooltest {

namespace {

constexpr unsigned kRunTimeoutSeconds = 60;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) variables.emplace_back(*v);
  for (const auto& [name, value] : overrides) {
    // A later override of the same name wins.
    variables.erase(std::remove_if(variables.begin(), variables.end(),
                                   [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; }),
                    variables.end());
    variables.push_back(name + "=" + value);
  }
  return variables;
}

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  const std::string outPath = scratch.path() + "out", errPath = scratch.path() + "err";
  outFile = outPath;
  errFile = errPath;
  std::vector<std::string> args = argv, variables = environment;
  std::vector<char*> argPointers, envPointers;
  for (auto& a : args) argPointers.push_back(a.data());
  argPointers.push_back(nullptr);
  for (auto& v : variables) envPointers.push_back(v.data());
  envPointers.push_back(nullptr);

  pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    dup2(in, STDIN_FILENO);
    execve(args[0].c_str(), argPointers.data(), envPointers.data());
    _exit(127);
  }
}

Process::~Process() {
  if (pid > 0 && !finished) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

void Process::signal(int signalNumber) {
  if (pid > 0 && !finished) kill(pid, signalNumber);
}

bool Process::wait(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!finished) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      finished = true;
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.out = readText(outFile);
  run.err = readText(errFile);
  return true;
}

std::string Process::output() const { return readText(outFile); }

std::vector<std::pair<std::string, std::string>> privateDataHome(const testhost::TempDir& scratch) {
  fs::create_directories(scratch.path() + "data");
  return {{"XDG_DATA_HOME", scratch.path() + "data"}, {"XDG_DATA_DIRS", scratch.path() + "no-system-set"}};
}

ToolRun runSarn2(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env) {
  testhost::TempDir scratch;
  std::vector<std::pair<std::string, std::string>> overrides = privateDataHome(scratch);
  overrides.insert(overrides.end(), env.begin(), env.end());
  std::vector<std::string> argv = {SARN2_TOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  Process process(argv, environmentWith(overrides));
  // A run that hangs (a blocking open, say) is killed when the process is
  // dropped, and reported as not having exited normally.
  process.wait(kRunTimeoutSeconds);
  return process.result();
}

Wav readWav(const std::string& path) {
  Wav wav;
  SF_INFO info{};
  SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
  if (sound == nullptr) return wav;
  std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
  sf_readf_float(sound, all.data(), info.frames);
  sf_close(sound);
  wav.rate = info.samplerate;
  wav.channels = info.channels;
  wav.format = info.format;
  for (size_t i = 0; i < static_cast<size_t>(info.frames); ++i) wav.samples.push_back(all[i * info.channels]);
  return wav;
}

std::vector<std::string> directoryEntries(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::pair<uint32_t, uint32_t> pngSize(const std::vector<uint8_t>& bytes) {
  // Signature, then the IHDR chunk: length, type, width, height (big-endian).
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (bytes.size() < 24 || !std::equal(kSignature, kSignature + 8, bytes.begin())) return {0, 0};
  const auto word = [&](size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
           bytes[at + 3];
  };
  return {word(16), word(20)};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tooltest
