// The sound engine: eight voices of ROM wavetable sound through a resonant
// low-pass whose cutoff follows a per-note envelope. It knows no plug-in
// interface; a front end owns one, feeds it raw MIDI and renders blocks.
//
// Threads: renderBlock, handleMidi and the note and filter operations run
// on the audio thread. The setters of the host-visible settings (preset,
// release, bend, filter switch, chunk fields) and requestEnvelopeRebuild
// may run on any other thread at the same time: those settings are atomics
// read with relaxed order, single loads and stores as the sound path
// expects, without a data race.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "instrument/engine/filter_envelope.h"
#include "instrument/engine/filter_path.h"
#include "instrument/engine/oscillators.h"
#include "instrument/engine/rom_tables.h"
#include "instrument/engine/voice_slots.h"

namespace sarn2 {

class Engine {
 public:
  static constexpr int32_t kVoiceCount = VoiceSlots::kVoiceCount;
  static constexpr double kDefaultRate = 44100.0;  // Hz, when the host gives none

  // Plays the given tables (empty tables: silence) from preset 0.
  explicit Engine(RomTables tables);
  // Loads the ROM files "<romDirectory><name>.BIN" first.
  explicit Engine(const std::string& romDirectory);

  // One MIDI message: a status byte and two data bytes. Note on and off,
  // pitch bend, program change and the control changes sustain pedal (64),
  // all sound off (120), reset all controllers (121) and all notes off
  // (123) act; every other message is ignored.
  void handleMidi(uint8_t status, uint8_t data1, uint8_t data2);
  // A control change, its data bytes read as signed.
  void controlChange(int32_t controller, int32_t value);
  void noteOn(int32_t note);
  void noteOff(int32_t note);

  // Renders sampleFrames samples of the mono output at sampleRate Hz (0,
  // negative or NaN: 44.1 kHz), in tune at every rate. Never allocates,
  // locks or blocks.
  void renderBlock(float* output, int32_t sampleFrames, double sampleRate);

  // The preset number is stored as given; every reader of the preset
  // record clamps it to 0..31.
  int32_t preset() const { return preset_.load(kRelaxed); }
  // Stores the number and applies it.
  void setPreset(int32_t number);
  // Copies the second-oscillator switch out of the preset's record; a
  // record the image does not hold whole leaves it as it was.
  void applyPreset(int32_t number);

  float release() const { return release_.load(kRelaxed); }
  void setRelease(float value) { release_.store(value, kRelaxed); }
  // In units of the full MIDI bend range: -1 to just under 1.
  float pitchBend() const { return pitchBend_.load(kRelaxed); }
  void setPitchBend(float value) { pitchBend_.store(value, kRelaxed); }
  bool filterOn() const { return filterOn_.load(kRelaxed); }
  void setFilterOn(bool on) { filterOn_.store(on, kRelaxed); }
  bool secondOscillatorOn() const { return secondOscillatorOn_.load(kRelaxed) != 0; }

  // The settings a saved state holds, in the order of the state chunk.
  struct ChunkFields {
    int32_t preset{0};
    float release{0.5f};
    float reserved{0.0f};  // carried through unchanged
    float pitchBend{0.0f};
    bool filterOn{true};
  };
  ChunkFields chunkFields() const;
  // Restores them (the preset clamped), applies the preset and asks the
  // audio thread to rebuild the filter envelope for it.
  void restoreChunkFields(const ChunkFields& fields);

  // Asks for the filter envelope of a preset to be rebuilt at the start of
  // the next block; callable from any thread. A note-on rebuilds at once and
  // supersedes a pending request.
  void requestEnvelopeRebuild(int32_t presetNumber);
  // Rebuilds the envelope for the stored preset now (audio thread).
  void rebuildFilterEnvelope();
  // Performs a pending rebuild request; renderBlock starts with it.
  void applyPendingEnvelopeRebuild();

  // One sample through the filter at the next envelope level, with the
  // given cutoff range and resonance scale (the block path uses 0.99, 0.8).
  double filterSample(double input, double cutoffRange, double resonanceScale);

  // What the engine plays from and where it stands.
  const RomTables& roms() const { return roms_; }
  const std::array<Voice, kVoiceCount>& voices() const { return voiceSlots_.voices; }
  // The sustain pedal is live input only: no saved state holds it.
  bool sustainPedalDown() const { return voiceSlots_.pedalDown; }
  const std::array<uint32_t, 2 * kVoiceCount>& phaseAccumulators() const {
    return oscillators_.phaseAccumulators;
  }
  const FilterEnvelope& filterEnvelope() const { return filterEnvelope_; }
  int32_t filterEnvelopePos() const { return filterEnvelopePos_; }
  const ResonantFilter& filter() const { return filterPath_.filter; }
  // The byte offset in waveTable of the bank the last block played.
  int32_t waveBankOffset() const { return waveBankOffset_; }
  // The rate of the last block, in Hz.
  double renderRate() const { return renderRate_; }

 private:
  // The plain reference renderer of the tests works on the same state.
  friend struct EngineInternals;

  static constexpr auto kRelaxed = std::memory_order_relaxed;
  static constexpr int32_t kNoRebuildPending = -1;
  // The block loop works in chunks of this many samples: the voices add
  // into mixBuffer_, then the mix is clipped, filtered and written out.
  static constexpr int32_t kRenderChunk = 256;

  void rebuildFilterEnvelopeFor(int32_t presetNumber);

  RomTables roms_;
  VoiceSlots voiceSlots_{};
  Oscillators oscillators_{};
  FilterPath filterPath_{};
  FilterEnvelope filterEnvelope_{};
  int32_t filterEnvelopePos_{0};
  int32_t waveBankOffset_{0};
  double renderRate_{kDefaultRate};
  std::array<double, kRenderChunk> mixBuffer_{};

  std::atomic<int32_t> preset_{0};
  std::atomic<float> release_{0.5f};
  std::atomic<float> pitchBend_{0.0f};
  std::atomic<float> chunkReserved_{0.0f};
  std::atomic<bool> filterOn_{true};
  std::atomic<uint8_t> secondOscillatorOn_{0};

  // setChunk may come from any host thread while the audio thread reads the
  // envelope, so the envelope is never rebuilt there: the preset to rebuild
  // for is published here and the audio thread rebuilds at its next block.
  std::atomic<int32_t> pendingEnvelopePreset_{kNoRebuildPending};
};

}  // namespace sarn2
