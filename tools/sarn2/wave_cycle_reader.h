// One cycle of a waveform from a sound file of any length, rate and channel
// count, as the 512 samples of a wave bank.
#pragma once

#include <string>
#include <vector>

namespace sarn2tool {

// Reads the file with libsndfile, mixes its channels, and resamples the
// cycle to 512 samples through libsamplerate, band-limited to the bank's
// 256 harmonics; a cycle of exactly 512 frames is taken as it stands, so
// the banks a set is exported to come back unchanged. Full scale is 1.0.
// Throws romset::DescriptionError naming the file and what is wrong.
std::vector<double> readWaveCycle(const std::string& path);

}  // namespace sarn2tool
