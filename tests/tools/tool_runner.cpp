#include "tests/tools/tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/temp_rom_dir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace tooltest {

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

ToolRun runSarn2(const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env) {
  testhost::TempDir scratch;
  const std::string outPath = scratch.path() + "out", errPath = scratch.path() + "err";
  fs::create_directories(scratch.path() + "data");

  std::vector<std::string> variables;
  std::vector<std::pair<std::string, std::string>> overrides = {
      {"XDG_DATA_HOME", scratch.path() + "data"}, {"XDG_DATA_DIRS", scratch.path() + "no-system-set"}};
  for (const auto& e : env) overrides.push_back(e);
  for (char** v = environ; *v != nullptr; ++v) {
    const std::string entry = *v;
    const std::string name = entry.substr(0, entry.find('='));
    if (std::none_of(overrides.begin(), overrides.end(), [&](const auto& o) { return o.first == name; }))
      variables.push_back(entry);
  }
  for (const auto& [name, value] : overrides) {
    // A later override of the same name wins.
    variables.erase(std::remove_if(variables.begin(), variables.end(),
                                   [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; }),
                    variables.end());
    variables.push_back(name + "=" + value);
  }

  std::vector<std::string> argv = {SARN2_TOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argPointers, envPointers;
  for (auto& a : argv) argPointers.push_back(a.data());
  argPointers.push_back(nullptr);
  for (auto& v : variables) envPointers.push_back(v.data());
  envPointers.push_back(nullptr);

  ToolRun run;
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    dup2(in, STDIN_FILENO);
    execve(argv[0].c_str(), argPointers.data(), envPointers.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readText(outPath);
  run.err = readText(errPath);
  return run;
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
