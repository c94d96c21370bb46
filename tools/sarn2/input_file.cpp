#include "tools/sarn2/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

// What a file that is not a regular one is, in words; empty for a regular file.
std::string kindOfNonRegular(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

[[noreturn]] void refuse(const std::string& path, const std::string& what, const std::string& kind) {
  throw ToolError(what + " " + path + " is " + kind + ", not a file that can be read");
}

[[noreturn]] void cannotRead(const std::string& path, const std::string& what, int error) {
  throw ToolError("cannot read " + what + " " + path + ": " + std::strerror(error));
}

}  // namespace

void checkInputFile(const std::string& path, const std::string& what) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) cannotRead(path, what, errno);
  if (const std::string kind = kindOfNonRegular(status.st_mode); !kind.empty()) refuse(path, what, kind);
}

int openInputFile(const std::string& path, const std::string& what) {
  // Checked by name first: opening a socket fails with a misleading reason
  // and opening a pipe could wait for a writer.
  checkInputFile(path, what);
  // The file may have been replaced since; O_NONBLOCK keeps even that open
  // from waiting, and the descriptor itself is checked again.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) cannotRead(path, what, errno);
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    close(fd);
    cannotRead(path, what, error);
  }
  if (const std::string kind = kindOfNonRegular(status.st_mode); !kind.empty()) {
    close(fd);
    refuse(path, what, kind);
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::vector<uint8_t> readInputFile(const std::string& path, const std::string& what, uint64_t maxBytes) {
  const int fd = openInputFile(path, what);
  struct stat status {};
  fstat(fd, &status);
  const auto size = static_cast<uint64_t>(status.st_size);
  if (size > maxBytes) {
    close(fd);
    throw ToolError(what + " " + path + " is " + std::to_string(size) + " bytes, more than the " +
                    std::to_string(maxBytes) + " such a file can hold");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      cannotRead(path, what, error);
    }
    if (got == 0) break;  // shrunk while being read: keep what is there
    done += static_cast<size_t>(got);
  }
  close(fd);
  bytes.resize(done);
  return bytes;
}

}  // namespace sarn2tool
