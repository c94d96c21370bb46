// Writes the demo ROM set into a directory. The build runs it to lay out the
// set that the install rules and the packages carry; it needs nothing but the
// standard library and toml11's headers, so plug-in-only builds and cross
// builds can run it too.
#include <cstdio>
#include <string>

#include "tools/romset/romset.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!romset::demoRomSet().write(argv[1], &error)) {
    std::fprintf(stderr, "%s: cannot write the demo ROM set into %s: %s\n", argv[0], argv[1], error.c_str());
    return 1;
  }
  return 0;
}
