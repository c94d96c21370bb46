// A set description built into a private temporary directory, so that
// `inspect` reports and draws it exactly as it reports a ROM directory.
#pragma once

#include <string>
#include <vector>

namespace sarn2tool {

// A path that names a description rather than a ROM directory: a regular
// file ending in .toml.
bool isDescriptionPath(const std::string& path);

class DescriptionPreview {
 public:
  // Builds the description (WAV files, Scala files and base included).
  // Throws ToolError with the description's own message.
  explicit DescriptionPreview(const std::string& descriptionPath);
  ~DescriptionPreview();
  DescriptionPreview(const DescriptionPreview&) = delete;
  DescriptionPreview& operator=(const DescriptionPreview&) = delete;

  // Ends in a separator, as the instrument's ROM directories do.
  const std::string& directory() const { return built; }
  const std::vector<std::string>& presetNames() const { return names; }

 private:
  std::string built;
  std::vector<std::string> names;
};

}  // namespace sarn2tool
