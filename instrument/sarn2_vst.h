// The instrument: eight voices of ROM wavetable sound through a resonant
// low-pass whose cutoff follows a per-note envelope.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "frame/audio_effect_x.h"
#include "instrument/filter_envelope.h"
#include "instrument/resonant_filter.h"
#include "instrument/rom_tables.h"
#include "instrument/voice.h"

class Sarn2VST : public AudioEffectX {
 public:
  static constexpr int32_t kParameterCount = 3;
  static constexpr int32_t kVoiceCount = 8;
  static constexpr int32_t kChunkBytes = 20;

  enum Parameter : int32_t { presetParameter = 0, releaseParameter = 1, filterParameter = 2 };

  // Reads its ROM files from the platform's fixed ROM directory.
  explicit Sarn2VST(HostCallback hostCallback);
  // Reads them from the given directory (ending in a separator) instead.
  Sarn2VST(HostCallback hostCallback, const std::string& romDirectory);
  ~Sarn2VST() override;

  void resume() override;
  void renderBlock(float** inputs, float** outputs, int32_t sampleFrames) override;
  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  int32_t getProgram() override;
  void setProgram(int32_t program) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  int32_t getChunk(void** data, bool isPreset) override;
  int32_t setChunk(void* data, intptr_t byteSize, bool isPreset) override;
  intptr_t processEvents(void* events) override;
  bool getEffectName(char* name) override;
  bool getVendorName(char* text) override;
  bool getProductName(char* text) override;
  int32_t getVendorVersion() override;

  void noteOn(int32_t note);
  void noteOff(int32_t note);
  void loadRoms(const std::string& directory);
  void applyPreset(int32_t number);
  double filterSample(double input, double cutoffRange, double resonanceScale);
  void rebuildFilterEnvelope();

  // Instrument state. Fields that a host may write from a thread other
  // than the audio thread are atomics accessed with relaxed order: single
  // loads and stores, as the sound path expects, without a data race.
  std::atomic<uint8_t> secondOscillatorOn{0};
  std::array<uint32_t, 2 * kVoiceCount> phaseAccumulators{};
  RomTables roms;
  ResonantFilter filter;
  std::atomic<bool> filterOn{true};
  std::array<Voice, kVoiceCount> voices{};
  std::atomic<int32_t> preset{0};
  std::atomic<float> release{0.5f};
  std::atomic<float> pitchBend{0.0f};
  std::atomic<float> chunkReserved{0.0f};
  double renderRate = 44100.0;
  int32_t filterEnvelopePos = 0;
  FilterEnvelope filterEnvelope;
  int32_t waveBankOffset = 0;

  // Performs a rebuild that setChunk has published, if one is pending.
  // Runs on the audio thread at the start of every block.
  void applyPendingEnvelopeRebuild();

 private:
  void rebuildFilterEnvelopeFor(int32_t presetNumber);
  void renderSilence(float* output, int32_t sampleFrames);

  // The block loop works in chunks: the voices add into mixBuffer, then the
  // mix is clipped, filtered and written out.
  static constexpr int32_t kRenderChunk = 256;
  struct BlockSettings;
  void mixVoice(Voice& voice, int32_t v, const BlockSettings& settings, int32_t count);
  void writeUnfiltered(float* output, int32_t count);
  void writeFiltered(float* output, int32_t count, uint8_t control);
  const double* scaledBank(int32_t bankOffset);
  const ResonantFilter::Coefficients* coefficientsFor(uint8_t control);

  std::array<double, kRenderChunk> mixBuffer{};
  // One wave bank decoded and scaled by the mix gain, for the bank offset
  // it was made for (the wave table never changes after construction).
  std::array<double, 512> scaledBankSamples{};
  int32_t scaledBankOffset = -1;
  // Cutoff and feedback for every envelope level, for the cutoff and
  // resonance codes they were made for.
  std::array<ResonantFilter::Coefficients, 256> coefficientTable{};
  int32_t coefficientCodes = -1;
  // The filter's state stops changing once a constant input has settled it
  // (a decay reaching its last value). The settled point, as bit patterns,
  // lets the following samples skip the arithmetic; it holds only for the
  // same input, states and coefficients.
  struct SettledFilter {
    bool valid = false;
    uint64_t input = 0, state1 = 0, state2 = 0, f = 0, fb = 0;
    float output = 0.0f;
  };
  SettledFilter settled;

  // setChunk may come from any host thread while the audio thread reads the
  // envelope, so it never rebuilds the envelope itself: it publishes the
  // preset to rebuild for, and the audio thread rebuilds at its next block.
  // A note-on rebuilds at once and supersedes a pending request.
  static constexpr int32_t kNoRebuildPending = -1;
  std::atomic<int32_t> pendingEnvelopePreset{kNoRebuildPending};

  // getChunk hands the host the address of this block; it stays valid until
  // the next getChunk and for the object's life.
  alignas(4) uint8_t chunkBlock[kChunkBytes] = {};
};
