// Speed of the sound path, as real-time factor at 44.1 kHz on one core and
// as a ratio against the plain reference renderer measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_instruments.h"
#include "tests/reference/reference_model.h"

using namespace sarn2;

namespace {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

enum class Impl { optimized, reference };

void render(Impl impl, Sarn2VST& instrument, float* output, int32_t frames) {
  if (impl == Impl::optimized) {
    float* outputs[1] = {output};
    instrument.renderBlock(nullptr, outputs, frames);
  } else {
    reference::renderBlock(instrument, output, frames);
  }
}

void countAudio(benchmark::State& state, double frames) {
  state.counters["rt"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// Renders one block per iteration from an instrument set up by the caller.
void renderBlocks(benchmark::State& state, Impl impl, Sarn2VST& instrument) {
  std::vector<float> output(kBlock);
  double frames = 0;
  for (auto _ : state) {
    render(impl, instrument, output.data(), kBlock);
    benchmark::DoNotOptimize(output.data());
    frames += kBlock;
  }
  countAudio(state, frames);
}

// (a) eight held voices, second oscillator on, filter on.
void EightVoices(benchmark::State& state, Impl impl) {
  auto instrument = bench::makeInstrument(bench::presetFor(1, 2));
  bench::holdEightNotes(*instrument);
  renderBlocks(state, impl, *instrument);
}

// (b) one voice, filter off.
void OneVoiceFilterOff(benchmark::State& state, Impl impl) {
  auto instrument = bench::makeInstrument(bench::presetFor(0, 0));
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument->engine().noteOn(60);
  renderBlocks(state, impl, *instrument);
}

// (c) the filter decaying in silence after every voice has ended: two
// seconds from the last voice's end, for one cutoff and resonance code.
void DecayingSilence(benchmark::State& state, Impl impl) {
  const int cut = static_cast<int>(state.range(0));
  const int res = static_cast<int>(state.range(1));
  std::vector<float> output(kBlock);
  const int blocks = static_cast<int>(2 * kRate / kBlock);
  double frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto instrument = bench::makeInstrument(bench::presetFor(cut, res));
    instrument->setParameter(Sarn2VST::releaseParameter, 0.0f);
    bench::holdEightNotes(*instrument);
    for (int i = 0; i < 20; ++i) render(Impl::optimized, *instrument, output.data(), kBlock);
    bench::releaseAllNotes(*instrument);
    for (int i = 0; i < 8; ++i) render(Impl::optimized, *instrument, output.data(), kBlock);
    state.ResumeTiming();
    for (int i = 0; i < blocks; ++i) {
      render(impl, *instrument, output.data(), kBlock);
      benchmark::DoNotOptimize(output.data());
    }
    frames += blocks * kBlock;
  }
  countAudio(state, frames);
}

// (d) a note-on whose preset gives the longest envelope (260,101 levels).
void NoteOnLongestEnvelope(benchmark::State& state, Impl impl) {
  auto instrument = bench::makeInstrument(bench::kLongestEnvelopePreset);
  const uint8_t* record = wholePresetRecord(instrument->engine().roms(), bench::kLongestEnvelopePreset);
  for (auto _ : state) {
    if (impl == Impl::optimized) {
      instrument->engine().noteOn(60);
    } else {
      benchmark::DoNotOptimize(reference::filterEnvelope(record));
    }
  }
}

// (d) the same, as the very first note-on of a freshly created instance.
void FirstNoteOnOfNewInstance(benchmark::State& state) {
  for (auto _ : state) {
    auto instrument = bench::makeInstrument(bench::kLongestEnvelopePreset);
    const auto start = std::chrono::steady_clock::now();
    instrument->engine().noteOn(60);
    const auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
}

// (e) a chunk load, including the envelope rebuild at the next block.
void ChunkLoad(benchmark::State& state, Impl impl) {
  auto instrument = bench::makeInstrument(bench::kLongestEnvelopePreset);
  void* data = nullptr;
  instrument->getChunk(&data, false);
  std::vector<uint8_t> chunk(static_cast<uint8_t*>(data),
                             static_cast<uint8_t*>(data) + Sarn2VST::kChunkBytes);
  const uint8_t* record = wholePresetRecord(instrument->engine().roms(), bench::kLongestEnvelopePreset);
  float* outputs[1] = {nullptr};
  for (auto _ : state) {
    instrument->setChunk(chunk.data(), Sarn2VST::kChunkBytes, false);
    if (impl == Impl::optimized) {
      instrument->renderBlock(nullptr, outputs, 0);
    } else {
      benchmark::DoNotOptimize(reference::filterEnvelope(record));
    }
  }
}

// Collects every run so that the summary can set each optimised figure
// beside its reference baseline.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Figure {
    double nanoseconds = 0;
    double realTimeFactor = 0;
  };
  std::map<std::string, Figure> figures;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Figure figure;
      figure.nanoseconds = run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond ? 1e3 : 1.0);
      const auto rt = run.counters.find("rt");
      if (rt != run.counters.end()) figure.realTimeFactor = rt->second.value;
      figures[run.benchmark_name()] = figure;
    }
  }

  void printSummary() const {
    std::printf("\n%-44s %14s %14s %9s\n", "benchmark", "optimised", "reference", "ratio");
    for (const auto& [name, figure] : figures) {
      const size_t marker = name.find("/optimized");
      if (marker == std::string::npos) {
        if (name.find("/reference") == std::string::npos)
          std::printf("%-44s %11.2f us\n", name.c_str(), figure.nanoseconds / 1e3);
        continue;
      }
      std::string baselineName = name;
      baselineName.replace(marker, 10, "/reference");
      const auto baseline = figures.find(baselineName);
      if (baseline == figures.end()) continue;
      std::string label = name;
      label.erase(marker, 10);
      if (figure.realTimeFactor > 0) {
        std::printf("%-44s %12.0fx %12.0fx %8.2fx\n", label.c_str(), figure.realTimeFactor,
                    baseline->second.realTimeFactor, figure.realTimeFactor / baseline->second.realTimeFactor);
      } else {
        std::printf("%-44s %11.2f us %11.2f us %8.2fx\n", label.c_str(), figure.nanoseconds / 1e3,
                    baseline->second.nanoseconds / 1e3, baseline->second.nanoseconds / figure.nanoseconds);
      }
    }
    std::printf("(real-time factors at 44.1 kHz on one core; ratio = optimised speed / reference speed)\n");
  }
};

void registerPair(const char* name, void (*function)(benchmark::State&, Impl), benchmark::TimeUnit unit) {
  benchmark::RegisterBenchmark((std::string(name) + "/optimized").c_str(), function, Impl::optimized)
      ->Unit(unit);
  benchmark::RegisterBenchmark((std::string(name) + "/reference").c_str(), function, Impl::reference)
      ->Unit(unit);
}

}  // namespace

int main(int argc, char** argv) {
  registerPair("EightVoices", EightVoices, benchmark::kMicrosecond);
  registerPair("OneVoiceFilterOff", OneVoiceFilterOff, benchmark::kMicrosecond);
  for (int cut = 0; cut < 4; ++cut) {
    for (int res = 0; res < 4; ++res) {
      const std::string name = "DecayingSilence/cut" + std::to_string(cut) + "_res" + std::to_string(res);
      for (Impl impl : {Impl::optimized, Impl::reference}) {
        benchmark::RegisterBenchmark((name + (impl == Impl::optimized ? "/optimized" : "/reference")).c_str(),
                                     DecayingSilence, impl)
            ->Args({cut, res})
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
      }
    }
  }
  registerPair("NoteOnLongestEnvelope", NoteOnLongestEnvelope, benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("FirstNoteOnOfNewInstance", FirstNoteOnOfNewInstance)
      ->UseManualTime()
      ->Iterations(200)
      ->Unit(benchmark::kMicrosecond);
  registerPair("ChunkLoad", ChunkLoad, benchmark::kMicrosecond);

  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  benchmark::Shutdown();
  return 0;
}
