// Where an instance looks for its ROM files.
#pragma once

#include <string>

// The fixed ROM directory, ending in a separator: "c://roms/" on Windows;
// on other systems $XDG_DATA_HOME/sarn2/roms/, or
// $HOME/.local/share/sarn2/roms/ when XDG_DATA_HOME is unset, empty or not
// an absolute path. Resolved afresh on every call so that each new instance
// sees the current environment. Empty when no directory can be named (no
// absolute HOME either): the instance then has no ROM set.
std::string romDirectory();
