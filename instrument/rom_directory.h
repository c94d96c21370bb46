// Where an instance looks for its ROM files.
#pragma once

#include <string>

// The fixed ROM directory, ending in a separator: "c://roms/" on Windows;
// on other systems $XDG_DATA_HOME/sarn2/roms/, or
// $HOME/.local/share/sarn2/roms/ when XDG_DATA_HOME is unset or empty.
// Resolved afresh on every call so that each new instance sees the current
// environment. Empty when no directory can be named.
std::string romDirectory();
