// A plain, line-by-line rendering of the instrument's sound path, kept
// apart from the production code on purpose: it is slow and obviously
// right. Tests compare the optimised renderer against it bit for bit, and
// the benchmarks measure their speed against it in the same run.
#pragma once

#include <cstdint>
#include <vector>

class Sarn2VST;

namespace reference {

// One audio block rendered from the instance's own fields, with the same
// effect on them as Sarn2VST::renderBlock.
void renderBlock(Sarn2VST& instrument, float* output, int32_t sampleFrames);

// The envelope levels for a whole 32-byte preset record (null: no record).
std::vector<uint8_t> filterEnvelope(const uint8_t* presetRecord);

}  // namespace reference
