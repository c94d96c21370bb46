#include "tools/sarn2/wave_cycle_reader.h"

#include <samplerate.h>
#include <sndfile.h>

#include <cmath>
#include <memory>

#include "tools/romset/description.h"

namespace sarn2tool {

namespace {

constexpr int kCycle = 512;
constexpr int kMaxChannels = 64;
// A single cycle longer than this is no single cycle (2^20 frames is 24 s
// at 44.1 kHz), and reading it would only waste memory.
constexpr sf_count_t kMaxFrames = sf_count_t{1} << 20;
// The cycle is repeated on both sides of the one kept, so that the
// resampler's filter sees a periodic signal wherever it reaches.
constexpr int kContextSamples = 16384;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw romset::DescriptionError(path + ": " + what);
}

}  // namespace

std::vector<double> readWaveCycle(const std::string& path) {
  SF_INFO info{};
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sound(sf_open(path.c_str(), SFM_READ, &info), sf_close);
  if (!sound) fail(path, std::string("cannot be read as a sound file (") + sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > kMaxChannels)
    fail(path, std::to_string(info.channels) + " channels; a wave file may have 1 to 64");
  if (info.frames > kMaxFrames)
    fail(path, std::to_string(info.frames) + " frames is far too long for one cycle (at most 1048576)");
  if (info.frames < 2)
    fail(path, std::to_string(info.frames) + (info.frames == 1 ? " frame" : " frames") +
                   "; one cycle needs at least 2 samples");

  std::vector<double> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  const sf_count_t read = sf_readf_double(sound.get(), interleaved.data(), info.frames);
  if (read < 2) fail(path, "holds fewer than 2 readable frames");
  std::vector<double> cycle(static_cast<size_t>(read));
  for (sf_count_t f = 0; f < read; ++f) {
    double sum = 0.0;
    for (int c = 0; c < info.channels; ++c) {
      const double x = interleaved[static_cast<size_t>(f * info.channels + c)];
      if (!std::isfinite(x))
        fail(path, "frame " + std::to_string(f) + " holds a sample that is not a finite number");
      sum += x;
    }
    cycle[static_cast<size_t>(f)] = sum / info.channels;
  }
  const auto length = static_cast<int>(cycle.size());
  if (length == kCycle) return cycle;

  // libsamplerate works on floats; the 10-bit banks lose nothing by it.
  const int repeats = 2 * ((kContextSamples + length - 1) / length) + 1;
  std::vector<float> input(static_cast<size_t>(repeats) * static_cast<size_t>(length));
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(cycle[i % cycle.size()]);
  std::vector<float> output(static_cast<size_t>(repeats) * kCycle + kCycle);
  SRC_DATA data{};
  data.data_in = input.data();
  data.input_frames = static_cast<long>(input.size());
  data.data_out = output.data();
  data.output_frames = static_cast<long>(output.size());
  data.src_ratio = static_cast<double>(kCycle) / length;
  data.end_of_input = 1;
  const int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1);
  if (error != 0) fail(path, std::string("cannot be resampled: ") + src_strerror(error));
  const long middle = static_cast<long>(repeats / 2) * kCycle;
  if (data.output_frames_gen < middle + kCycle)
    fail(path, "cannot be resampled: the resampler stopped short");
  return std::vector<double>(output.begin() + middle, output.begin() + middle + kCycle);
}

}  // namespace sarn2tool
