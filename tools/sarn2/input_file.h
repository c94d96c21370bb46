// Files the tool reads, opened only when they are regular files: a named
// pipe, device, directory or socket given as input is refused at once
// instead of hanging the program or failing later with an odd message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sarn2tool {

// Throws ToolError unless path names a regular file (following symbolic
// links). what is how the message names the file ("MIDI file").
void checkInputFile(const std::string& path, const std::string& what);

// Opens a regular file for reading without ever blocking, and returns its
// descriptor (in blocking mode again, close-on-exec); the caller closes it.
// Throws ToolError naming what the path is when it is not a regular file.
int openInputFile(const std::string& path, const std::string& what);

// The whole of a regular file, refused when it is larger than maxBytes.
// Throws ToolError.
std::vector<uint8_t> readInputFile(const std::string& path, const std::string& what, uint64_t maxBytes);

}  // namespace sarn2tool
