// The demo ROM set, built from its checked-in description (demo/demo.toml)
// by the same code that builds a user's description. Golden renders rest on
// its bytes; they must not change.
#include "tools/romset/description_build.h"
#include "tools/romset/romset.h"

namespace romset {

namespace {

const SetDescription& demoDescription() {
  static const SetDescription description = parseDescription(demoDescriptionText(), "demo.toml", "");
  return description;
}

}  // namespace

const std::array<std::string, kPresetCount>& demoPresetNames() {
  static const std::array<std::string, kPresetCount> names = [] {
    std::array<std::string, kPresetCount> list;
    for (int p = 0; p < kPresetCount; ++p)
      list[static_cast<size_t>(p)] = demoDescription().presets[static_cast<size_t>(p)].name;
    return list;
  }();
  return names;
}

RomSet demoRomSet() {
  static const RomSet set = buildRomSet(demoDescription(), std::nullopt, nullptr).set;
  return set;
}

}  // namespace romset
