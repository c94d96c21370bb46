// What plot-wav draws of a sound file, gathered in one streaming pass:
// the extremes of each pixel column of the waveform, the places of NaN and
// infinite samples, and the power of a spectrogram. Its size depends on the
// picture, never on the length of the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sarn2tool {

struct WaveColumn {
  int64_t first = 0;  // the first frame the column covers
  // The lowest and highest finite sample, in the order they occur.
  double earlier = 0.0, later = 0.0;
  bool hasFinite = false;
  int64_t nonFinite = 0;  // NaN and infinite samples in the column
};

struct SoundSummary {
  double sampleRate = 0.0;
  int64_t declaredFrames = 0;  // what the header says
  int64_t frames = 0;          // what could be read
  int64_t nanSamples = 0, infiniteSamples = 0;
  bool digitalSilence = true;  // nothing but zeros, or nothing at all
  // One per pixel column, or one per frame for files shorter than the
  // picture is wide.
  std::vector<WaveColumn> wave;
  // Spectrogram power, column by column, rows from the lowest frequency up.
  std::vector<std::vector<double>> power;
  double lowestHz = 0.0, highestHz = 0.0;
};

// The first channel of any file libsndfile reads. Non-finite samples count
// as silence in the spectrogram. Throws ToolError naming what failed and
// where (opening, reading at frame N) with libsndfile's reason.
SoundSummary summariseSoundFile(const std::string& path, int waveColumns, int spectrumColumns,
                                int spectrumRows);

}  // namespace sarn2tool
