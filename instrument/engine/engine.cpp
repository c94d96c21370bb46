// The engine's operations: MIDI in, presets and saved settings, the
// envelope hand-over, and the block loop that joins the units.
#include "instrument/engine/engine.h"

#include <algorithm>
#include <utility>

#include "instrument/engine/numeric.h"
#include "instrument/engine/rom_loader.h"

namespace sarn2 {

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr int32_t kBendCentre = 8192;           // the 14-bit value of no bend
constexpr double kBendScale = 0.0001220703125;  // 1/8192: a full bend is 1.0

// Controller numbers the engine answers; every other controller is ignored.
constexpr int32_t kSustainPedal = 64;
constexpr int32_t kPedalDownFrom = 64;  // values 64-127 hold the pedal down
constexpr int32_t kAllSoundOff = 120;
constexpr int32_t kResetAllControllers = 121;
constexpr int32_t kAllNotesOff = 123;

void writeUnfiltered(const double* mix, float* output, int32_t count) {
  for (int32_t n = 0; n < count; ++n) output[n] = static_cast<float>(clipToUnit(mix[n]));
}

}  // namespace

Engine::Engine(RomTables tables) : roms_(std::move(tables)) { applyPreset(preset()); }

Engine::Engine(const std::string& romDirectory) : Engine(loadRomTables(romDirectory)) {}

void Engine::handleMidi(uint8_t status, uint8_t data1, uint8_t data2) {
  // Data bytes are read as signed: 128 to 255 count as negative.
  const int32_t d1 = static_cast<int8_t>(data1);
  const int32_t d2 = static_cast<int8_t>(data2);
  switch (status & 0xF0) {
    case kNoteOn:
      if (d2 > 0)
        noteOn(d1);
      else
        noteOff(d1);
      break;
    case kNoteOff:
      noteOff(d1);
      break;
    case kPitchBend:
      setPitchBend(static_cast<float>((((d2 * 128) | d1) - kBendCentre) * kBendScale));
      break;
    case kProgramChange:
      setPreset(d1 % kPresetCount);
      break;
    case kControlChange:
      controlChange(d1, d2);
      break;
    default:
      break;
  }
}

void Engine::controlChange(int32_t controller, int32_t value) {
  switch (controller) {
    case kSustainPedal:
      voiceSlots_.setPedal(value >= kPedalDownFrom);
      break;
    case kAllNotesOff:
      voiceSlots_.allNotesOff();
      break;
    case kAllSoundOff:
      voiceSlots_.allSoundOff();
      break;
    case kResetAllControllers:
      setPitchBend(0.0f);
      voiceSlots_.setPedal(false);
      break;
    default:
      break;
  }
}

void Engine::noteOn(int32_t note) {
  voiceSlots_.noteOn(note);
  // One envelope serves the whole instrument: every sounding note's sweep
  // restarts. This rebuild replaces any that setChunk left pending; taking
  // the request with acquire order makes the chunk's preset visible to the
  // rebuild, so a request is never dropped in favour of an older preset.
  filterEnvelopePos_ = 0;
  pendingEnvelopePreset_.exchange(kNoRebuildPending, std::memory_order_acquire);
  rebuildFilterEnvelope();
}

void Engine::noteOff(int32_t note) { voiceSlots_.noteOff(note); }

void Engine::setPreset(int32_t number) {
  preset_.store(number, kRelaxed);
  applyPreset(number);
}

void Engine::applyPreset(int32_t number) {
  const PresetRecordView record = presetRecord(roms_, number);
  if (!record.whole()) return;
  secondOscillatorOn_.store(record.control.secondOscillator() ? 1 : 0, kRelaxed);
}

Engine::ChunkFields Engine::chunkFields() const {
  return {preset(), release(), chunkReserved_.load(kRelaxed), pitchBend(), filterOn()};
}

void Engine::restoreChunkFields(const ChunkFields& fields) {
  const int32_t number = clampPreset(fields.preset);
  setRelease(fields.release);
  chunkReserved_.store(fields.reserved, kRelaxed);
  setPitchBend(fields.pitchBend);
  setFilterOn(fields.filterOn);
  setPreset(number);
  requestEnvelopeRebuild(number);
}

void Engine::requestEnvelopeRebuild(int32_t presetNumber) {
  pendingEnvelopePreset_.store(presetNumber, std::memory_order_release);
}

void Engine::rebuildFilterEnvelope() { rebuildFilterEnvelopeFor(preset()); }

void Engine::rebuildFilterEnvelopeFor(int32_t presetNumber) {
  filterEnvelope_.rebuild(wholePresetRecord(roms_, presetNumber));
}

void Engine::applyPendingEnvelopeRebuild() {
  const int32_t pending = pendingEnvelopePreset_.exchange(kNoRebuildPending, std::memory_order_acquire);
  if (pending != kNoRebuildPending) rebuildFilterEnvelopeFor(pending);
}

double Engine::filterSample(double input, double cutoffRange, double resonanceScale) {
  return filterPath_.filterSample(input, presetRecord(roms_, preset()).control, filterEnvelope_,
                                  filterEnvelopePos_, cutoffRange, resonanceScale);
}

void Engine::renderBlock(float* output, int32_t sampleFrames, double sampleRate) {
  applyPendingEnvelopeRebuild();
  renderRate_ = sampleRate > 0.0 ? sampleRate : kDefaultRate;

  if (roms_.romImage.empty() || roms_.waveTable.empty()) {
    if (output != nullptr) std::fill_n(output, std::max(sampleFrames, 0), 0.0f);
    return;
  }

  const PresetControl control = presetRecord(roms_, preset()).control;
  waveBankOffset_ = control.waveBank() * kWaveBankBytes;
  if (output == nullptr || sampleFrames <= 0) return;

  const Oscillators::Block block =
      oscillators_.prepare(roms_, waveBankOffset_, pitchBend(), release(), renderRate_, secondOscillatorOn());
  const bool filtered = filterOn();
  for (int32_t start = 0; start < sampleFrames; start += kRenderChunk) {
    const int32_t count = std::min(kRenderChunk, sampleFrames - start);
    std::fill_n(mixBuffer_.begin(), count, 0.0);
    oscillators_.mix(voiceSlots_, roms_, block, mixBuffer_.data(), count);
    if (filtered)
      filterPath_.render(mixBuffer_.data(), output + start, count, control, filterEnvelope_,
                         filterEnvelopePos_);
    else
      writeUnfiltered(mixBuffer_.data(), output + start, count);
  }
}

}  // namespace sarn2
