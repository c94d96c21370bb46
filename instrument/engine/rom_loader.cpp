// Reading the ROM dump files and building romImage, pitchTable and waveTable.
#include "instrument/engine/rom_loader.h"

#include <sys/stat.h>

#include <cerrno>
#include <new>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace sarn2 {

namespace {

RomFileStatus statusOfNonRegular(unsigned mode) {
  return (mode & S_IFMT) == S_IFDIR ? RomFileStatus::folder : RomFileStatus::deviceOrPipe;
}

RomFileOutcome failedOpen(int error) {
  RomFileOutcome outcome;
  outcome.status = error == ENOENT || error == ENOTDIR ? RomFileStatus::missing : RomFileStatus::unreadable;
  outcome.errorNumber = outcome.status == RomFileStatus::unreadable ? error : 0;
  return outcome;
}

// Opens a ROM file for reading; null, with the reason, when it does not open
// or is not a regular file (a directory of that name, a device, a pipe).
std::FILE* openRomFile(const std::string& path, RomFileOutcome& outcome) {
#if defined(_WIN32)
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    const int error = errno;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) != S_IFREG) {
      outcome.status = statusOfNonRegular(status.st_mode);
    } else {
      outcome = failedOpen(error);
    }
    return nullptr;
  }
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || (status.st_mode & S_IFMT) != S_IFREG) {
    outcome.status = statusOfNonRegular(status.st_mode);
    std::fclose(file);
    return nullptr;
  }
  return file;
#else
  // Opened without blocking and tested before any read: a plain fopen of a
  // named pipe would wait for a writer and hang the host's plug-in scan.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    outcome = failedOpen(errno);
    return nullptr;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    outcome = failedOpen(errno);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(status.st_mode)) {
    outcome.status = statusOfNonRegular(status.st_mode);
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    outcome = failedOpen(errno);
    close(fd);
  }
  return file;
#endif
}

// Interleaves two files byte by byte, at most kMaxTablePairs pairs.
void appendPairs(std::vector<uint8_t>& table, const std::vector<uint8_t>& low,
                 const std::vector<uint8_t>& high) {
  for (size_t i = 0; i < low.size() && i < high.size() && i < kMaxTablePairs; ++i) {
    table.push_back(low[i]);
    table.push_back(high[i]);
  }
}

void buildTables(const std::string& directory, RomLoad& load) {
  std::array<std::vector<uint8_t>, kRomFiles.size()> contents;
  int64_t position = 0;
  for (size_t f = 0; f < kRomFiles.size(); ++f) {
    RomFileOutcome& outcome = load.files[f];
    if (std::FILE* file = openRomFile(directory + kRomFiles[f].name + ".BIN", outcome))
      outcome = readWholeFile(file, contents[f]);
    // A skipped file shifts all later files toward the start, so the preset
    // table is then read from whatever bytes land at its positions.
    outcome.imageStart = position;
    outcome.imageBytes = static_cast<int64_t>(contents[f].size());
    position += outcome.imageBytes;
    load.tables.romImage.insert(load.tables.romImage.end(), contents[f].begin(), contents[f].end());
  }

  // Indexes into kRomFiles: DD1, DD2 (pitch), DD13, DD14, DD18, DD19 (waves).
  const std::vector<uint8_t>& dd1 = contents[0];
  const std::vector<uint8_t>& dd2 = contents[1];
  for (size_t i = 0; i < dd1.size() && i < dd2.size() && i < kMaxTablePairs; ++i)
    load.tables.pitchTable.push_back(static_cast<uint16_t>(dd2[i] * 256 + dd1[i]));
  appendPairs(load.tables.waveTable, contents[2], contents[3]);
  appendPairs(load.tables.waveTable, contents[5], contents[6]);
}

}  // namespace

RomFileOutcome readWholeFile(std::FILE* file, std::vector<uint8_t>& bytes) {
  RomFileOutcome outcome;
  if (file == nullptr) return outcome;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  outcome.size = size > 0 ? size : 0;
  if (size < 0) {
    outcome.status = RomFileStatus::unreadable;
  } else if (size > kMaxRomFileBytes) {
    outcome.status = RomFileStatus::tooLarge;
  } else if (size > 0) {
    try {
      // Zero-filled first: a short read leaves the rest of the bytes 0.
      bytes.assign(static_cast<size_t>(size), 0);
      outcome.bytesRead = static_cast<int64_t>(std::fread(bytes.data(), 1, bytes.size(), file));
      outcome.status = outcome.bytesRead < size ? RomFileStatus::shortRead : RomFileStatus::found;
    } catch (const std::bad_alloc&) {
      bytes.clear();
      outcome.status = RomFileStatus::unreadable;
      outcome.errorNumber = ENOMEM;
    }
  } else {
    outcome.status = RomFileStatus::found;
  }
  std::fclose(file);
  return outcome;
}

RomLoad loadRoms(const std::string& directory) {
  RomLoad load;
  if (directory.empty()) return load;
  try {
    buildTables(directory, load);
  } catch (const std::bad_alloc&) {
    // Construction must not fail over sound data: without memory for the
    // tables the instance plays silence, as with no ROM files at all.
    load.tables = RomTables{};
    for (RomFileOutcome& outcome : load.files) {
      outcome.imageStart = 0;
      outcome.imageBytes = 0;
    }
  }
  return load;
}

}  // namespace sarn2
