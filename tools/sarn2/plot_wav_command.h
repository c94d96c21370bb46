// `sarn2 plot-wav`: draws a WAV file as a waveform over a spectrogram.
#pragma once

#include <string>

#include "tools/sarn2/figure.h"
#include "tools/sarn2/wav_summary.h"

namespace sarn2tool {

int runPlotWav(const std::string& wavPath, const std::string& picturePath);

// The picture of a sound's first channel.
Figure soundFigure(const SoundSummary& sound, const std::string& title);

}  // namespace sarn2tool
