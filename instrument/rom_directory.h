// Where an instance looks for its ROM files.
#pragma once

#include <string>
#include <vector>

namespace sarn2 {

// The ROM directory, ending in a separator: "c://roms/" on Windows. On other
// systems the user's directory (userRomDirectory()) when it holds at least
// one of the ten ROM files; otherwise the first <dir>/sarn2/roms/ holding at
// least one, for <dir> in $XDG_DATA_DIRS (default /usr/local/share:/usr/share,
// relative entries ignored); otherwise the user's directory again. A set is
// always read whole from one directory. Resolved afresh on every call so that
// each new instance sees the current environment and files. Empty when no
// directory can be named at all: the instance then has no ROM set.
std::string romDirectory();

// The user's own ROM directory, without the system fallback:
// $XDG_DATA_HOME/sarn2/roms/, or $HOME/.local/share/sarn2/roms/ when
// XDG_DATA_HOME is unset, empty or not an absolute path. "c://roms/" on
// Windows. Empty when neither names an absolute directory.
std::string userRomDirectory();

// The system directories <dir>/sarn2/roms/ in $XDG_DATA_DIRS order (empty on
// Windows).
std::vector<std::string> systemRomDirectories();

// True when the directory holds at least one of the ten ROM files as a
// regular file under its exact name.
bool holdsAnyRomFile(const std::string& directory);

}  // namespace sarn2
