#include "tools/sarn2/plot_wav_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr int kWidth = 1280;
constexpr int kMargin = 16;
constexpr int kWaveHeight = 220;
constexpr int kSpectrumHeight = 320;
constexpr int kSpectrumColumns = 256;
constexpr int kSpectrumRows = 96;
constexpr double kDynamicRangeDb = 90.0;
constexpr double kHeldLevel = 1.25;
constexpr Color kNonFiniteColor{220, 30, 30};

// Dark blue through red to pale yellow as level runs from 0 to 1.
Color heat(double level) {
  static constexpr Color kStops[] = {
      {8, 8, 32}, {70, 20, 110}, {190, 40, 70}, {245, 140, 30}, {255, 250, 190}};
  constexpr int kLast = static_cast<int>(std::size(kStops)) - 1;
  const double position = std::clamp(level, 0.0, 1.0) * kLast;
  const int i = std::min(static_cast<int>(position), kLast - 1);
  const double f = position - i;
  const auto mix = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + (b - a) * f)); };
  return {mix(kStops[i].r, kStops[i + 1].r), mix(kStops[i].g, kStops[i + 1].g),
          mix(kStops[i].b, kStops[i + 1].b)};
}

void drawSpectrogram(Figure& figure, const Panel& panel, const SoundSummary& sound) {
  double loudest = 0.0;
  for (const auto& column : sound.power)
    for (double p : column) loudest = std::max(loudest, p);
  const double cellWidth = panel.w / kSpectrumColumns, cellHeight = panel.h / kSpectrumRows;
  for (int c = 0; c < kSpectrumColumns; ++c) {
    for (int r = 0; r < kSpectrumRows; ++r) {
      const double p = sound.power[static_cast<size_t>(c)][static_cast<size_t>(r)];
      const double db = p > 0.0 && loudest > 0.0 ? 10.0 * std::log10(p / loudest) : -kDynamicRangeDb;
      figure.fill(panel.x + c * cellWidth, panel.y + panel.h - (r + 1) * cellHeight, cellWidth + 0.5,
                  cellHeight + 0.5, heat(1.0 + db / kDynamicRangeDb));
    }
  }
}

// Whole hertz as usual; sample rates of a few hertz need fractions.
std::string hertz(double f) {
  char text[32];
  std::snprintf(text, sizeof(text), f >= 10.0 ? "%.0f" : "%.3g", f);
  return text;
}

}  // namespace

Figure soundFigure(const SoundSummary& sound, const std::string& title) {
  Figure figure;
  figure.width = kWidth;
  figure.height = 2 * kMargin + kWaveHeight + 3 * kMargin + kSpectrumHeight + kMargin;
  const double rate = sound.sampleRate;
  const double length = static_cast<double>(sound.frames) / rate;
  const double lastFrame = std::max<double>(1, static_cast<double>(sound.frames - 1));

  const Panel wave{kMargin, 2.0 * kMargin, kWidth - 2.0 * kMargin, kWaveHeight, 0, lastFrame,
                   -1.0,    1.0,           {"s", 1.0 / rate}};
  char heading[600];
  std::snprintf(heading, sizeof(heading), "%s, %.2f s at %s Hz", title.c_str(), length, hertz(rate).c_str());
  std::string text = heading;
  if (sound.nanSamples + sound.infiniteSamples > 0)
    text += ", " + std::to_string(sound.nanSamples) + " NaN and " + std::to_string(sound.infiniteSamples) +
            " infinite samples marked in red";
  drawPanel(figure, wave, text);
  figure.polyline({wave.at(0, 0), wave.at(lastFrame, 0)}, {200, 200, 200});
  // Far-out finite values are held just outside the panel, so that the line
  // still shows where they are without leaving the picture.
  const auto held = [](double x) { return std::clamp(x, -kHeldLevel, kHeldLevel); };
  std::vector<Point> trace;
  for (const WaveColumn& column : sound.wave) {
    const auto x = static_cast<double>(column.first);
    if (column.nonFinite > 0) figure.fill(wave.at(x, 0).x - 0.5, wave.y, 2.0, wave.h, kNonFiniteColor);
    if (!column.hasFinite) continue;
    trace.push_back(wave.at(x, held(column.earlier)));
    if (column.later != column.earlier) trace.push_back(wave.at(x, held(column.later)));
  }
  figure.polyline(std::move(trace), {30, 90, 170});

  const Panel spectrum{kMargin,
                       wave.y + kWaveHeight + 3.0 * kMargin,
                       kWidth - 2.0 * kMargin,
                       kSpectrumHeight,
                       0,
                       std::max(length, 1.0 / rate),
                       sound.lowestHz,
                       sound.highestHz,
                       {"s"},
                       {"Hz", 1.0, true}};
  const std::string caption =
      "Spectrogram, " + hertz(sound.lowestHz) + " Hz to " + hertz(sound.highestHz) + " Hz, log scale";
  drawPanel(figure, spectrum, caption);
  if (sound.digitalSilence) {
    drawPanelNote(figure, wave, "silent");
    drawPanelNote(figure, spectrum, "silent");
  } else {
    drawSpectrogram(figure, spectrum, sound);
  }
  return figure;
}

int runPlotWav(const std::string& wavPath, const std::string& picturePath) {
  checkPicturePath(picturePath);
  const SoundSummary sound =
      summariseSoundFile(wavPath, static_cast<int>(kWidth - 2 * kMargin), kSpectrumColumns, kSpectrumRows);
  saveFigure(soundFigure(sound, wavPath), picturePath);
  std::string notes;
  if (sound.digitalSilence) notes += ", digital silence";
  if (sound.nanSamples + sound.infiniteSamples > 0)
    notes += "; " + std::to_string(sound.nanSamples) + " NaN and " + std::to_string(sound.infiniteSamples) +
             " infinite samples marked";
  if (sound.frames < sound.declaredFrames)
    notes += "; its header promises " + std::to_string(sound.declaredFrames) + " frames but it holds " +
             std::to_string(sound.frames);
  std::printf("%s: drew %.2f s of %s%s\n", picturePath.c_str(),
              static_cast<double>(sound.frames) / sound.sampleRate, wavPath.c_str(), notes.c_str());
  return kExitOk;
}

}  // namespace sarn2tool
