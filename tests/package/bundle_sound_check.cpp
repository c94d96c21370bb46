// Loads the plug-in DLL named on the command line, as a host does, plays a
// note and exits 0 only when it sounds: the check that a Windows bundle's DLL
// finds the ROM set its install-roms.cmd put in place.
#include <cstdio>

#include "tests/support/plugin_host.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: bundle_sound_check PLUGIN.dll\n");
    return 2;
  }
  std::printf("loading %s\n", argv[1]);
  testhost::PluginLibrary library(argv[1]);
  if (!library.loaded()) {
    std::printf("cannot load %s\n", argv[1]);
    return 1;
  }
  testhost::Instance instance(library);
  if (instance.effect() == nullptr) {
    std::printf("the entry point returned no effect\n");
    return 1;
  }
  instance.sendMidi({{0x90, 69, 100}});
  float peak = 0.0f;
  for (float sample : instance.render(4410))
    peak = sample > peak ? sample : (-sample > peak ? -sample : peak);
  std::printf("peak %.4f\n", peak);
  return peak > 0.0f ? 0 : 1;
}
