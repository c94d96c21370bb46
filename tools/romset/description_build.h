// Turning a description into the ten ROM files, and any ROM set back into a
// description. Building starts from the base directory's bytes (or from
// blank full-size files) and changes only the bytes whose value, as the
// instrument reads it, differs from what the description gives.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/romset/description.h"
#include "tools/romset/romset.h"

namespace romset {

// One cycle of a WAV file as 512 samples at full scale 1.0 (the caller
// reads and resamples it). Throws DescriptionError naming the file.
using CycleReader = std::function<std::vector<double>(const std::string& path)>;

struct BuildOutcome {
  RomSet set;
  std::vector<std::string> notes;  // rounding, quantisation, notes out of reach
};

// Builds the set over base (the files of the description's base directory,
// already read) or over blank full-size files. Throws DescriptionError.
BuildOutcome buildRomSet(const SetDescription& description, const std::optional<RomSet>& base,
                         const CycleReader& readCycle);

// Every value the instrument reads from the set, as a description with its
// banks as exact samples and the given preset names ("Preset N" where a
// name is missing or empty).
SetDescription describeRomSet(const RomSet& set, const std::vector<std::string>& presetNames);

// The ROM files of a directory as they are on disk (a missing or
// non-regular file is absent). Throws DescriptionError naming what failed.
RomSet readRomDirectory(const std::string& directory);

// The files of the description's base directory, or nothing when it names
// none. Throws DescriptionError naming the description, line and key.
std::optional<RomSet> readBase(const SetDescription& description);

// The description the demo set is built from, and the demo built from it.
const std::string& demoDescriptionText();

}  // namespace romset
