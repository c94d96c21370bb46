// Output files that appear whole or not at all: written under a temporary
// name in the target directory and renamed over the target at the end.
#pragma once

#include <string>

namespace sarn2tool {

class OutputFile {
 public:
  // Creates the temporary file at once, so that an unwritable target is
  // reported before any work is done. A target that is a symbolic link is
  // written through: the file it points at is replaced, the link stays.
  // Throws ToolError.
  explicit OutputFile(const std::string& target);
  // Removes the temporary file unless commit() succeeded.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& target() const { return targetPath; }
  const std::string& temporaryPath() const { return tempPath; }
  // The open descriptor of the temporary file; whoever takes it closes it.
  int takeDescriptor();

  // Renames the finished temporary file over the target. Throws ToolError.
  void commit();
  // Writes all the bytes, then commits. Throws ToolError.
  void writeAndCommit(const void* data, size_t size);

 private:
  std::string targetPath;
  std::string writtenPath;  // the target with its links followed
  std::string tempPath;
  int descriptor = -1;
  bool committed = false;
};

// Writes bytes to path through an OutputFile. Throws ToolError.
void writeWholeFile(const std::string& path, const void* data, size_t size);

// Paths removed if the program is interrupted (SIGINT, SIGTERM, SIGHUP)
// before they are released; at most a handful at a time.
void removeOnInterrupt(const std::string& path);
void keepOnInterrupt(const std::string& path);
void installInterruptCleanup();

}  // namespace sarn2tool
