#include "tools/sarn2/description_preview.h"

#include <stdlib.h>

#include <filesystem>

#include "tools/romset/description_build.h"
#include "tools/sarn2/tool_error.h"
#include "tools/sarn2/wave_cycle_reader.h"

namespace fs = std::filesystem;

namespace sarn2tool {

bool isDescriptionPath(const std::string& path) {
  std::error_code error;
  return fs::path(path).extension() == ".toml" && fs::is_regular_file(path, error);
}

DescriptionPreview::DescriptionPreview(const std::string& descriptionPath) {
  romset::BuildOutcome outcome;
  try {
    const romset::SetDescription description = romset::readDescription(descriptionPath);
    outcome = romset::buildRomSet(description, romset::readBase(description), readWaveCycle);
    for (const romset::PresetDescription& p : description.presets) names.push_back(p.name);
  } catch (const romset::DescriptionError& e) {
    throw ToolError(e.what());
  }
  std::string pattern = (fs::temp_directory_path() / "sarn2-preview-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw ToolError("cannot make a temporary directory to build " + descriptionPath);
  built = pattern + "/";
  std::string error;
  if (!outcome.set.write(built, &error)) {
    std::error_code ignored;
    fs::remove_all(built, ignored);
    throw ToolError(error);
  }
}

DescriptionPreview::~DescriptionPreview() {
  std::error_code error;
  if (!built.empty()) fs::remove_all(built, error);
}

}  // namespace sarn2tool
