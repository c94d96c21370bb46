#include "tools/sarn2/wav_summary.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "tools/sarn2/input_file.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr int kFftSize = 2048;
constexpr double kLowestHz = 40.0;
constexpr double kHighestHz = 16000.0;
constexpr int64_t kReadSamples = 1 << 16;  // per read, all channels together

void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(length));
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

// Spectrogram columns from a running window of the last kFftSize samples:
// column c looks at the window centred on its share of the file, and is
// taken as soon as the samples after its centre have passed.
class SpectrogramBuilder {
 public:
  SpectrogramBuilder(SoundSummary& summary, int columns, int rows, int64_t frames)
      : summary_(summary), rows_(rows), frames_(frames), ring_(kFftSize, 0.0), frame_(kFftSize) {
    summary.power.assign(static_cast<size_t>(columns), std::vector<double>(static_cast<size_t>(rows), 0.0));
    for (int i = 0; i < kFftSize; ++i)
      window_.push_back(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kFftSize));
    // Below about 80 Hz of sample rate the usual 40 Hz floor lies above the
    // highest frequency; the scale then starts at the first bin instead.
    const double rate = summary.sampleRate;
    summary.highestHz = std::min(kHighestHz, rate / 2.0);
    summary.lowestHz = summary.highestHz > 2.0 * kLowestHz ? kLowestHz : rate / kFftSize;
  }

  // Samples before the start and after the end count as silence.
  void push(double x) {
    ring_[static_cast<size_t>(pushed_ % kFftSize)] = std::isfinite(x) ? x : 0.0;
    ++pushed_;
    while (next_ < static_cast<int>(summary_.power.size()) && pushed_ >= centre(next_) + kFftSize / 2)
      takeColumn(next_++);
  }

  // Columns still to come look at the end of what was read, followed by
  // silence; a file that stops short of its header's length ends here too.
  void finish() {
    const int columns = static_cast<int>(summary_.power.size());
    for (int i = 0; i < kFftSize && next_ < columns; ++i) push(0.0);
    while (next_ < columns) takeColumn(next_++);
  }

 private:
  int64_t centre(int c) const {
    return static_cast<int64_t>((c + 0.5) * static_cast<double>(frames_) /
                                static_cast<double>(summary_.power.size()));
  }

  void takeColumn(int c) {
    for (int i = 0; i < kFftSize; ++i)
      frame_[static_cast<size_t>(i)] =
          ring_[static_cast<size_t>((pushed_ + i) % kFftSize)] * window_[static_cast<size_t>(i)];
    fft(frame_);
    const double rate = summary_.sampleRate, low = summary_.lowestHz, top = summary_.highestHz;
    for (int r = 0; r < rows_; ++r) {
      // Rows on a logarithmic frequency scale; each takes the strongest bin
      // between its edges.
      const double from = low * std::pow(top / low, double(r) / rows_);
      const double to = low * std::pow(top / low, double(r + 1) / rows_);
      const int first = std::clamp(static_cast<int>(from * kFftSize / rate), 1, kFftSize / 2);
      const int last = std::clamp(static_cast<int>(to * kFftSize / rate), first, kFftSize / 2);
      double strongest = 0.0;
      for (int b = first; b <= last; ++b)
        strongest = std::max(strongest, std::norm(frame_[static_cast<size_t>(b)]));
      summary_.power[static_cast<size_t>(c)][static_cast<size_t>(r)] = strongest;
    }
  }

  SoundSummary& summary_;
  int rows_;
  int64_t frames_;
  std::vector<double> ring_, window_;
  std::vector<std::complex<double>> frame_;
  int64_t pushed_ = 0;
  int next_ = 0;
};

class WaveBuilder {
 public:
  WaveBuilder(SoundSummary& summary, int columns, int64_t frames)
      : summary_(summary), columns_(frames <= columns ? frames : columns), frames_(frames) {
    summary.wave.reserve(static_cast<size_t>(columns_));
  }

  void push(int64_t at, double x) {
    if (summary_.wave.empty() ||
        (at >= nextFirst_ && static_cast<int64_t>(summary_.wave.size()) < columns_)) {
      summary_.wave.push_back({at});
      lowAt_ = highAt_ = -1;
      // frames * k / columns, without the product overflowing for any length.
      const auto k = static_cast<int64_t>(summary_.wave.size() + 1);
      nextFirst_ = frames_ / columns_ * k + frames_ % columns_ * k / columns_;
    }
    WaveColumn& column = summary_.wave.back();
    if (!std::isfinite(x)) {
      ++column.nonFinite;
      return;
    }
    if (!column.hasFinite || x < low_) low_ = x, lowAt_ = at;
    if (!column.hasFinite || x > high_) high_ = x, highAt_ = at;
    column.hasFinite = true;
    column.earlier = lowAt_ <= highAt_ ? low_ : high_;
    column.later = lowAt_ <= highAt_ ? high_ : low_;
  }

 private:
  SoundSummary& summary_;
  int64_t columns_;
  int64_t frames_;
  int64_t nextFirst_ = 0;
  double low_ = 0.0, high_ = 0.0;
  int64_t lowAt_ = -1, highAt_ = -1;
};

}  // namespace

SoundSummary summariseSoundFile(const std::string& path, int waveColumns, int spectrumColumns,
                                int spectrumRows) {
  const int fd = openInputFile(path, "WAV file");
  SF_INFO info{};
  SNDFILE* sound = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (sound == nullptr) {
    const std::string reason = sf_strerror(nullptr);
    close(fd);
    throw ToolError("cannot open " + path + " as a sound file: " + reason);
  }
  struct Closer {
    SNDFILE* sound;
    ~Closer() { sf_close(sound); }
  } closer{sound};
  if (info.samplerate <= 0 || info.channels <= 0 || info.frames < 0)
    throw ToolError("cannot read " + path + ": its header gives " + std::to_string(info.channels) +
                    " channels at " + std::to_string(info.samplerate) + " Hz");

  SoundSummary summary;
  summary.sampleRate = info.samplerate;
  summary.declaredFrames = info.frames;
  WaveBuilder wave(summary, waveColumns, info.frames);
  SpectrogramBuilder spectrogram(summary, spectrumColumns, spectrumRows, info.frames);

  const int64_t channels = info.channels;
  const int64_t chunkFrames = std::max<int64_t>(1, kReadSamples / channels);
  std::vector<float> buffer(static_cast<size_t>(chunkFrames * channels));
  while (summary.frames < info.frames) {
    const sf_count_t want = std::min<int64_t>(chunkFrames, info.frames - summary.frames);
    const sf_count_t got = sf_readf_float(sound, buffer.data(), want);
    if (got <= 0) {
      if (sf_error(sound) != SF_ERR_NO_ERROR)
        throw ToolError("cannot read " + path + " at frame " + std::to_string(summary.frames) + ": " +
                        sf_strerror(sound));
      break;  // the data ends before the header says; what was read is drawn
    }
    for (sf_count_t i = 0; i < got; ++i) {
      const double x = buffer[static_cast<size_t>(i * channels)];
      if (std::isnan(x)) ++summary.nanSamples;
      if (std::isinf(x)) ++summary.infiniteSamples;
      if (x != 0.0) summary.digitalSilence = false;
      wave.push(summary.frames + i, x);
      spectrogram.push(x);
    }
    summary.frames += got;
  }
  spectrogram.finish();
  return summary;
}

}  // namespace sarn2tool
