// Building romImage, pitchTable and waveTable from the ROM dump files.
#include "instrument/rom_tables.h"

#include <sys/stat.h>

#include <new>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Real dumps are a few kilobytes; anything this large is not a ROM dump and
// is skipped rather than read into memory.
constexpr long kMaxRomFileBytes = 16L * 1024 * 1024;

std::string romPath(const std::string& directory, const char* name) { return directory + name + ".BIN"; }

// Opens a ROM file for reading; null when it does not open or is not a
// regular file (a directory of that name, a device, a pipe).
std::FILE* openRomFile(const std::string& path) {
#if defined(_WIN32)
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || (status.st_mode & S_IFMT) != S_IFREG) {
    std::fclose(file);
    return nullptr;
  }
  return file;
#else
  // Opened without blocking and tested before any read: a plain fopen of a
  // named pipe would wait for a writer and hang the host's plug-in scan.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
#endif
}

std::vector<uint8_t> readRomFile(const std::string& directory, const char* name) {
  std::vector<uint8_t> bytes;
  if (std::FILE* file = openRomFile(romPath(directory, name))) readWholeFile(file, bytes);
  return bytes;
}

// Interleaves two files byte by byte, at most kMaxTablePairs pairs.
void appendPairs(std::vector<uint8_t>& table, const std::vector<uint8_t>& low,
                 const std::vector<uint8_t>& high) {
  for (size_t i = 0; i < low.size() && i < high.size() && i < kMaxTablePairs; ++i) {
    table.push_back(low[i]);
    table.push_back(high[i]);
  }
}

}  // namespace

bool readWholeFile(std::FILE* file, std::vector<uint8_t>& bytes) {
  if (file == nullptr) return true;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (size > 0 && size <= kMaxRomFileBytes) {
    try {
      // Zero-filled first: a short read leaves the rest of the bytes 0.
      bytes.assign(static_cast<size_t>(size), 0);
      const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
      (void)got;
    } catch (const std::bad_alloc&) {
      bytes.clear();
    }
  }
  std::fclose(file);
  return true;
}

namespace {

void buildTables(const std::string& directory, RomTables& roms) {
  const std::vector<uint8_t> dd1 = readRomFile(directory, "DD1");
  const std::vector<uint8_t> dd2 = readRomFile(directory, "DD2");
  for (size_t i = 0; i < dd1.size() && i < dd2.size() && i < kMaxTablePairs; ++i)
    roms.pitchTable.push_back(static_cast<uint16_t>(dd2[i] * 256 + dd1[i]));

  const std::vector<uint8_t> dd13 = readRomFile(directory, "DD13");
  const std::vector<uint8_t> dd14 = readRomFile(directory, "DD14");
  const std::vector<uint8_t> dd18 = readRomFile(directory, "DD18");
  const std::vector<uint8_t> dd19 = readRomFile(directory, "DD19");
  appendPairs(roms.waveTable, dd13, dd14);
  appendPairs(roms.waveTable, dd18, dd19);

  // Every file is read again for the image; a missing one shifts all later
  // files toward the start, so the preset table is then read from whatever
  // bytes land at its positions.
  for (const char* name : romFileNames) {
    const std::vector<uint8_t> bytes = readRomFile(directory, name);
    roms.romImage.insert(roms.romImage.end(), bytes.begin(), bytes.end());
  }
}

}  // namespace

RomTables loadRomTables(const std::string& directory) {
  RomTables roms;
  // No directory means no ROM set, never the current working directory.
  if (directory.empty()) return roms;
  try {
    buildTables(directory, roms);
  } catch (const std::bad_alloc&) {
    // Construction must not fail over sound data: without memory for the
    // tables the instance plays silence, as with no ROM files at all.
    roms = RomTables{};
  }
  return roms;
}
