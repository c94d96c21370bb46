#include "tools/sarn2/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

// The signal handler may only use async-signal-safe calls, so the paths live
// in fixed buffers rather than strings.
constexpr size_t kCleanupSlots = 8;
constexpr size_t kCleanupPathBytes = 4096;
std::array<std::array<char, kCleanupPathBytes>, kCleanupSlots> cleanupPaths{};
volatile sig_atomic_t cleanupUsed[kCleanupSlots] = {};

void onInterrupt(int signalNumber) {
  for (size_t i = 0; i < kCleanupSlots; ++i) {
    if (cleanupUsed[i] == 0) continue;
    // A directory entry fails unlink and is removed by rmdir instead.
    if (unlink(cleanupPaths[i].data()) != 0) rmdir(cleanupPaths[i].data());
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

std::string describeErrno(int error) { return std::strerror(error); }

// The file a path names once its symbolic links are followed, even when the
// last link dangles: writing through a link must update what it points at,
// not replace the link with a file. Relative links count from their directory.
fs::path followLinks(const fs::path& target) {
  constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of links
  fs::path path = target;
  std::error_code error;
  for (int i = 0; i < kMaxLinks && fs::is_symlink(path, error); ++i) {
    const fs::path next = fs::read_symlink(path, error);
    if (error) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

}  // namespace

void installInterruptCleanup() {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, onInterrupt);
}

void removeOnInterrupt(const std::string& path) {
  if (path.size() >= kCleanupPathBytes) return;
  for (size_t i = 0; i < kCleanupSlots; ++i) {
    if (cleanupUsed[i] != 0) continue;
    std::memcpy(cleanupPaths[i].data(), path.c_str(), path.size() + 1);
    cleanupUsed[i] = 1;
    return;
  }
}

void keepOnInterrupt(const std::string& path) {
  for (size_t i = 0; i < kCleanupSlots; ++i)
    if (cleanupUsed[i] != 0 && path == cleanupPaths[i].data()) cleanupUsed[i] = 0;
}

OutputFile::OutputFile(const std::string& target) : targetPath(target) {
  if (target.empty()) throw ToolError("no output file named");
  std::error_code error;
  if (fs::is_directory(target, error)) throw ToolError("cannot write " + target + ": it is a directory");
  const fs::path file = followLinks(target);
  writtenPath = file.string();
  fs::path parent = file.parent_path();
  if (parent.empty()) parent = ".";
  if (!fs::is_directory(parent, error))
    throw ToolError("cannot write " + target + ": directory " + parent.string() + " does not exist");

  // A hidden name beside the file, so that the final rename stays on one
  // file system and cannot fail half way.
  std::string hidden = ".";
  hidden.append(file.filename().string()).append(".XXXXXX");
  std::string pattern = (parent / hidden).string();
  descriptor = mkstemp(pattern.data());
  if (descriptor < 0) throw ToolError("cannot write " + target + ": " + describeErrno(errno));
  tempPath = pattern;
  removeOnInterrupt(tempPath);
  // mkstemp creates 0600; give the file the permissions a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
}

OutputFile::~OutputFile() {
  if (descriptor >= 0) close(descriptor);
  if (!committed && !tempPath.empty()) {
    unlink(tempPath.c_str());
    keepOnInterrupt(tempPath);
  }
}

int OutputFile::takeDescriptor() {
  const int taken = descriptor;
  descriptor = -1;
  return taken;
}

void OutputFile::commit() {
  if (descriptor >= 0) {
    const int closed = close(descriptor);
    descriptor = -1;
    if (closed != 0) throw ToolError("cannot write " + targetPath + ": " + describeErrno(errno));
  }
  if (std::rename(tempPath.c_str(), writtenPath.c_str()) != 0)
    throw ToolError("cannot write " + targetPath + ": " + describeErrno(errno));
  committed = true;
  keepOnInterrupt(tempPath);
}

void OutputFile::writeAndCommit(const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(descriptor, bytes + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw ToolError("cannot write " + targetPath + ": " + describeErrno(n < 0 ? errno : ENOSPC));
    written += static_cast<size_t>(n);
  }
  commit();
}

void writeWholeFile(const std::string& path, const void* data, size_t size) {
  OutputFile(path).writeAndCommit(data, size);
}

}  // namespace sarn2tool
