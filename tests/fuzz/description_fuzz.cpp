// Any text as a ROM set description: it is refused with a DescriptionError
// or read; a description that reads builds (WAV banks excepted, which are
// refused here), and its own written form reads and builds to the same
// bytes. Any other exception, crash or sanitizer report is a failure.
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tools/romset/description_build.h"

using namespace fuzzhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  romset::SetDescription description;
  try {
    description = romset::parseDescription(text, "fuzz.toml", scratchDirectory());
  } catch (const romset::DescriptionError&) {
    return 0;
  }
  description.base.clear();
  std::vector<uint8_t> image;
  try {
    image = romset::buildRomSet(description, std::nullopt, nullptr).set.image();
  } catch (const romset::DescriptionError&) {
    return 0;  // a WAV bank, a Scala file that is not there
  }
  require(image.size() == 20480, "a set over blank files keeps their full size");
  const std::string again = romset::formatDescription(description);
  romset::SetDescription reread;
  try {
    reread = romset::parseDescription(again, "again.toml", scratchDirectory());
  } catch (const romset::DescriptionError&) {
    require(false, "a written description reads back");
  }
  require(romset::buildRomSet(reread, std::nullopt, nullptr).set.image() == image,
          "a written description builds the same bytes");
  return 0;
}
