// `sarn2 plot-wav`: draws a WAV file as a waveform over a spectrogram.
#pragma once

#include <string>
#include <vector>

#include "tools/sarn2/figure.h"

namespace sarn2tool {

int runPlotWav(const std::string& wavPath, const std::string& picturePath);

// Nothing but zeros, or nothing at all.
bool isDigitalSilence(const std::vector<float>& samples);

// The picture for the first channel of a sound.
Figure soundFigure(const std::vector<float>& samples, double sampleRate, const std::string& title);

}  // namespace sarn2tool
