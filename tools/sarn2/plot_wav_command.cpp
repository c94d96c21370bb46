#include "tools/sarn2/plot_wav_command.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr int kWidth = 1280;
constexpr int kMargin = 16;
constexpr int kWaveHeight = 220;
constexpr int kSpectrumHeight = 320;
constexpr int kFftSize = 2048;
constexpr int kSpectrumColumns = 256;
constexpr int kSpectrumRows = 96;
constexpr double kLowestHz = 40.0;
constexpr double kHighestHz = 16000.0;
constexpr double kDynamicRangeDb = 90.0;
constexpr double kPi = 3.14159265358979323846;

void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2.0 * kPi / static_cast<double>(length));
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> w = 1.0;
      for (size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * w;
        a[i + k] = u + v;
        a[i + k + length / 2] = u - v;
        w *= step;
      }
    }
  }
}

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

void drawSpectrogram(Figure& figure, const Panel& panel, const std::vector<float>& samples, double rate) {
  const double top = std::min(kHighestHz, rate / 2.0);
  std::vector<double> window(kFftSize);
  for (int i = 0; i < kFftSize; ++i)
    window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kFftSize);

  std::vector<std::vector<double>> power(kSpectrumColumns, std::vector<double>(kSpectrumRows, 0.0));
  double loudest = 0.0;
  std::vector<std::complex<double>> frame(kFftSize);
  for (int c = 0; c < kSpectrumColumns; ++c) {
    const auto centre =
        static_cast<int64_t>((c + 0.5) * static_cast<double>(samples.size()) / kSpectrumColumns);
    for (int i = 0; i < kFftSize; ++i) {
      const int64_t at = centre - kFftSize / 2 + i;
      const double x =
          at >= 0 && at < static_cast<int64_t>(samples.size()) ? samples[static_cast<size_t>(at)] : 0.0;
      frame[static_cast<size_t>(i)] = x * window[static_cast<size_t>(i)];
    }
    fft(frame);
    for (int r = 0; r < kSpectrumRows; ++r) {
      // Rows on a logarithmic frequency scale; each takes the strongest
      // bin between its edges.
      const double low = kLowestHz * std::pow(top / kLowestHz, double(r) / kSpectrumRows);
      const double high = kLowestHz * std::pow(top / kLowestHz, double(r + 1) / kSpectrumRows);
      const int first = std::max(1, static_cast<int>(low * kFftSize / rate));
      const int last = std::max(first, std::min(kFftSize / 2, static_cast<int>(high * kFftSize / rate)));
      double strongest = 0.0;
      for (int b = first; b <= last; ++b)
        strongest = std::max(strongest, std::norm(frame[static_cast<size_t>(b)]));
      power[static_cast<size_t>(c)][static_cast<size_t>(r)] = strongest;
      loudest = std::max(loudest, strongest);
    }
  }
  const double cellWidth = panel.w / kSpectrumColumns, cellHeight = panel.h / kSpectrumRows;
  for (int c = 0; c < kSpectrumColumns; ++c) {
    for (int r = 0; r < kSpectrumRows; ++r) {
      const double p = power[static_cast<size_t>(c)][static_cast<size_t>(r)];
      const double db = p > 0.0 && loudest > 0.0 ? 10.0 * std::log10(p / loudest) : -kDynamicRangeDb;
      figure.fill(panel.x + c * cellWidth, panel.y + panel.h - (r + 1) * cellHeight, cellWidth + 0.5,
                  cellHeight + 0.5, heat(1.0 + db / kDynamicRangeDb));
    }
  }
}

}  // namespace

bool isDigitalSilence(const std::vector<float>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](float x) { return x == 0.0f; });
}

Figure soundFigure(const std::vector<float>& samples, double sampleRate, const std::string& title) {
  Figure figure;
  figure.width = kWidth;
  figure.height = 2 * kMargin + kWaveHeight + 3 * kMargin + kSpectrumHeight + kMargin;
  const double length = samples.size() / sampleRate;
  const auto count = static_cast<int64_t>(samples.size());
  const bool silent = isDigitalSilence(samples);

  const Panel wave{
      kMargin, 2.0 * kMargin, kWidth - 2.0 * kMargin, kWaveHeight, 0, std::max<double>(1, count - 1),
      -1.0,    1.0,           {"s", 1.0 / sampleRate}};
  char heading[600];
  std::snprintf(heading, sizeof(heading), "%s, %.2f s at %.0f Hz", title.c_str(), length, sampleRate);
  drawPanel(figure, wave, heading);
  figure.polyline({wave.at(0, 0), wave.at(std::max<double>(1, count - 1), 0)}, {200, 200, 200});
  figure.polyline(
      columnTrace(wave, count, [&](int64_t i) { return double(samples[static_cast<size_t>(i)]); }),
      {30, 90, 170});

  const double top = std::min(kHighestHz, sampleRate / 2.0);
  const Panel spectrum{kMargin,
                       wave.y + kWaveHeight + 3.0 * kMargin,
                       kWidth - 2.0 * kMargin,
                       kSpectrumHeight,
                       0,
                       std::max(length, 1.0 / sampleRate),
                       kLowestHz,
                       top,
                       {"s"},
                       {"Hz", 1.0, true}};
  char caption[96];
  std::snprintf(caption, sizeof(caption), "Spectrogram, %.0f Hz to %.0f Hz, log scale", kLowestHz, top);
  drawPanel(figure, spectrum, caption);
  if (!silent) drawSpectrogram(figure, spectrum, samples, sampleRate);
  if (silent) {
    drawPanelNote(figure, wave, "silent");
    drawPanelNote(figure, spectrum, "silent");
  }
  return figure;
}

int runPlotWav(const std::string& wavPath, const std::string& picturePath) {
  checkPicturePath(picturePath);
  SF_INFO info{};
  SNDFILE* sound = sf_open(wavPath.c_str(), SFM_READ, &info);
  if (sound == nullptr) throw ToolError("cannot read " + wavPath + ": " + sf_strerror(nullptr));
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  const sf_count_t got = sf_readf_float(sound, interleaved.data(), info.frames);
  sf_close(sound);
  std::vector<float> samples(static_cast<size_t>(std::max<sf_count_t>(got, 0)));
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = interleaved[i * static_cast<size_t>(info.channels)];

  saveFigure(soundFigure(samples, info.samplerate, wavPath), picturePath);
  std::printf("%s: drew %.2f s of %s%s\n", picturePath.c_str(), samples.size() / double(info.samplerate),
              wavPath.c_str(), isDigitalSilence(samples) ? ", digital silence" : "");
  return kExitOk;
}

}  // namespace sarn2tool
