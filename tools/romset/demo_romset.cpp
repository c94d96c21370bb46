#include "tools/romset/romset.h"

namespace romset {

RomSet demoRomSet() { return RomSet::blank(); }

}  // namespace romset
