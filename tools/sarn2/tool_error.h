// Failures the sarn2 program reports to its user, and the exit statuses
// they map to.
#pragma once

#include <stdexcept>
#include <string>

namespace sarn2tool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a file, a library or the render went wrong
constexpr int kExitUsage = 2;    // the command line itself is wrong

// Something the user can act on: which file, what is wrong with it.
struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A bad option value or combination, reported like a parse error.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace sarn2tool
