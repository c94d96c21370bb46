// A 5 x 7 pixel font for labels in rasterised pictures: digits, capitals
// (small letters are drawn as capitals) and a little punctuation.
#pragma once

#include <array>
#include <cstdint>

namespace sarn2tool {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Seven rows, the leftmost pixel in bit 4. Unknown characters get a box.
const std::array<uint8_t, kGlyphHeight>& glyphRows(char c);

}  // namespace sarn2tool
