#include "tools/sarn2/jack_player.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

// Set when the server has gone: libjack then reports every failed request
// of its own threads, which says nothing more than the one message the
// player prints.
std::atomic<bool> jackMessagesSilenced{false};

void quietJackMessage(const char*) {}
void printJackError(const char* message) {
  if (!jackMessagesSilenced.load(std::memory_order_relaxed))
    std::fprintf(stderr, "sarn2: JACK: %s\n", message);
}

void raiseToAtLeast(std::atomic<float>& target, float value) {
  float seen = target.load(std::memory_order_relaxed);
  while (value > seen && !target.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

void raiseToAtLeast(std::atomic<uint64_t>& target, uint64_t value) {
  uint64_t seen = target.load(std::memory_order_relaxed);
  while (value > seen && !target.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

// Port names from a null-terminated list libjack allocated.
std::vector<std::string> takePortNames(const char** ports) {
  std::vector<std::string> names;
  if (ports == nullptr) return names;
  for (const char** p = ports; *p != nullptr; ++p) names.emplace_back(*p);
  jack_free(ports);
  return names;
}

}  // namespace

JackPlayer::JackPlayer(const std::string& clientName)
    : messages_(kEventsPerPeriod), messageFrames_(kEventsPerPeriod) {
  // libjack explains a failed connection in several lines of its own; the
  // one message below says what the user needs to know.
  jack_set_error_function(quietJackMessage);
  jack_set_info_function(quietJackMessage);
  jack_status_t status{};
  client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (client_ == nullptr) {
    if ((status & JackServerFailed) != 0)
      throw ToolError(
          "no JACK server is running (sarn2 play does not start one). Start one first, for example "
          "'jackd -d alsa', or run the player under PipeWire's JACK: 'pw-jack sarn2 play'");
    if ((status & JackInvalidOption) != 0 ||
        clientName.size() >= static_cast<size_t>(jack_client_name_size()))
      throw ToolError("the JACK server refused the client name '" + clientName + "'");
    char code[16];
    std::snprintf(code, sizeof(code), "0x%x", static_cast<unsigned>(status));
    throw ToolError("cannot open a client of the JACK server (status " + std::string(code) + ")");
  }
  jack_set_error_function(printJackError);
  sampleRate_ = jack_get_sample_rate(client_);
  bufferSize_ = jack_get_buffer_size(client_);
}

JackPlayer::~JackPlayer() {
  stop();
  jack_client_close(client_);
}

std::string JackPlayer::clientName() const { return jack_get_client_name(client_); }

void JackPlayer::start(LivePlugin& plugin) {
  plugin_ = &plugin;
  for (int32_t c = 0; c < plugin.outputCount(); ++c) {
    const std::string name = "out_" + std::to_string(c + 1);
    jack_port_t* port =
        jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (port == nullptr) throw ToolError("the JACK server refused the port " + name);
    outputPorts_.push_back(port);
  }
  outputBuffers_.assign(outputPorts_.size(), nullptr);

  jack_set_process_callback(client_, processCallback, this);
  jack_set_buffer_size_callback(client_, bufferSizeCallback, this);
  jack_set_sample_rate_callback(client_, sampleRateCallback, this);
  jack_set_xrun_callback(client_, xrunCallback, this);
  jack_set_port_registration_callback(client_, portRegistrationCallback, this);
  jack_on_info_shutdown(client_, shutdownCallback, this);
  if (jack_activate(client_) != 0) throw ToolError("the JACK server would not activate the client");
  active_ = true;
  // The MIDI input appears only once the client runs, so that whoever
  // connects a keyboard as soon as midi_in exists is heard from the first
  // event on.
  jack_port_t* midiIn = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (midiIn == nullptr) throw ToolError("the JACK server refused the port midi_in");
  midiIn_.store(midiIn, std::memory_order_release);
}

void JackPlayer::connect(const std::vector<std::string>& midiFrom) {
  midiFromNames_ = midiFrom;
  for (const std::string& pattern : midiFrom) {
    try {
      midiFromPatterns_.emplace_back(pattern);
    } catch (const std::regex_error&) {
      // Port names often hold brackets and parentheses; such a name still
      // matches itself exactly.
    }
  }
  connecting_ = true;

  // A mono instrument is heard on both sides; outputs of a wider one go
  // to the playback ports in order.
  const std::vector<std::string> playback = takePortNames(
      jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput));
  for (size_t p = 0; p < playback.size(); ++p) {
    const size_t output = outputPorts_.size() == 1 ? 0 : p;
    if (output >= outputPorts_.size() || (outputPorts_.size() == 1 && p >= 2)) break;
    const int result = jack_connect(client_, jack_port_name(outputPorts_[output]), playback[p].c_str());
    if (result == 0 && notice)
      notice(std::string(jack_port_short_name(outputPorts_[output])) + " -> " + playback[p]);
  }
  if (playback.empty() && notice) notice("no physical playback ports to connect the outputs to");

  bool anyMidi = false;
  for (const std::string& name :
       takePortNames(jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput))) {
    jack_port_t* port = jack_port_by_name(client_, name.c_str());
    if (port == nullptr || !wantsMidiFrom(port)) continue;
    connectMidiSource(name.c_str());
    anyMidi = true;
  }
  if (!anyMidi && notice)
    notice(midiFrom.empty() ? "no MIDI keyboard yet; one is connected as soon as it appears"
                            : "no MIDI port matches --midi-from yet; it is connected as soon as one appears");
}

bool JackPlayer::wantsMidiFrom(jack_port_t* port) const {
  if (jack_port_is_mine(client_, port)) return false;
  if ((jack_port_flags(port) & JackPortIsOutput) == 0) return false;
  if (std::strcmp(jack_port_type(port), JACK_DEFAULT_MIDI_TYPE) != 0) return false;
  if (midiFromNames_.empty()) return (jack_port_flags(port) & JackPortIsPhysical) != 0;

  const std::string name = jack_port_name(port);
  std::vector<std::string> names = {name};
  const int aliasBytes = jack_port_name_size();
  std::vector<char> alias1(static_cast<size_t>(aliasBytes)), alias2(static_cast<size_t>(aliasBytes));
  char* aliases[2] = {alias1.data(), alias2.data()};
  const int aliasCount = jack_port_get_aliases(port, aliases);
  for (int a = 0; a < aliasCount; ++a) names.emplace_back(aliases[a]);

  for (const std::string& wanted : midiFromNames_)
    if (std::find(names.begin(), names.end(), wanted) != names.end()) return true;
  for (const std::regex& pattern : midiFromPatterns_)
    for (const std::string& n : names)
      if (std::regex_search(n, pattern)) return true;
  return false;
}

void JackPlayer::connectMidiSource(const char* name) {
  jack_port_t* midiIn = midiIn_.load(std::memory_order_relaxed);
  if (jack_port_connected_to(midiIn, name)) return;
  if (jack_connect(client_, name, jack_port_name(midiIn)) == 0 && notice)
    notice(std::string("MIDI from ") + name);
}

void JackPlayer::serviceConnections() {
  jack_port_id_t id = 0;
  // JACK forbids server requests inside its callbacks, so the
  // registration callback only queues the port and the work happens here.
  while (newPorts_.pop(id)) {
    if (!connecting_ || serverGone()) continue;
    jack_port_t* port = jack_port_by_id(client_, id);
    if (port != nullptr && wantsMidiFrom(port)) connectMidiSource(jack_port_name(port));
  }
}

bool JackPlayer::takeForMainThread() {
  // A period lasts milliseconds; a process thread that never hands the
  // plug-in back (a server gone mid-period) is given up on after a second.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int expected = kFree;
    if (owner_.compare_exchange_strong(expected, kMainThread, std::memory_order_acquire)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void JackPlayer::serviceReconfiguration() {
  if (serverGone()) return;
  lastDspLoad_ = jack_cpu_load(client_);
  const uint32_t rate = pendingRate_.exchange(0);
  const uint32_t size = pendingBufferSize_.exchange(0);
  const uint32_t newRate = rate != 0 ? rate : sampleRate_;
  const uint32_t newSize = size != 0 ? size : bufferSize_;
  if (newRate == sampleRate_ && newSize == bufferSize_) return;
  // The plug-in is suspended, set and resumed here, never on the audio
  // thread, which plays silence meanwhile.
  if (!takeForMainThread()) return;
  plugin_->reconfigure(static_cast<float>(newRate), static_cast<int32_t>(newSize));
  sampleRate_ = newRate;
  bufferSize_ = newSize;
  owner_.store(kFree, std::memory_order_release);
  if (notice)
    notice("the server now runs at " + std::to_string(newRate) + " Hz in periods of " +
           std::to_string(newSize) + " frames");
}

void JackPlayer::stop() {
  if (active_ && !serverGone()) jack_deactivate(client_);
  active_ = false;
  connecting_ = false;
  // Kept for good: should a period still run, it plays silence.
  if (plugin_ != nullptr) takeForMainThread();
}

std::string JackPlayer::shutdownReason() const {
  if (!serverGone()) return {};
  return shutdownReason_;
}

LiveCounters JackPlayer::counters() const {
  LiveCounters c;
  c.midiEvents = midiEvents_.load(std::memory_order_relaxed);
  c.sentMessages = sentMessages_.load(std::memory_order_relaxed);
  c.otherMessages = otherMessages_.load(std::memory_order_relaxed);
  c.dropped = dropped_.load(std::memory_order_relaxed);
  c.xruns = xruns_.load(std::memory_order_relaxed);
  c.periods = periods_.load(std::memory_order_relaxed);
  c.processNanos = processNanos_.load(std::memory_order_relaxed);
  c.processNanosMax = processNanosMax_.load(std::memory_order_relaxed);
  c.peak = peak_.load(std::memory_order_relaxed);
  return c;
}

float JackPlayer::takeRecentPeak() { return recentPeak_.exchange(0.0f, std::memory_order_relaxed); }

int JackPlayer::processCallback(jack_nframes_t frames, void* self) {
  return static_cast<JackPlayer*>(self)->process(frames);
}

int JackPlayer::bufferSizeCallback(jack_nframes_t frames, void* self) {
  static_cast<JackPlayer*>(self)->pendingBufferSize_.store(frames);
  return 0;
}

int JackPlayer::sampleRateCallback(jack_nframes_t rate, void* self) {
  static_cast<JackPlayer*>(self)->pendingRate_.store(rate);
  return 0;
}

int JackPlayer::xrunCallback(void* self) {
  static_cast<JackPlayer*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void JackPlayer::portRegistrationCallback(jack_port_id_t port, int registered, void* self) {
  if (registered != 0) static_cast<JackPlayer*>(self)->newPorts_.push(port);
}

void JackPlayer::shutdownCallback(jack_status_t /*code*/, const char* reason, void* self) {
  auto* player = static_cast<JackPlayer*>(self);
  std::snprintf(player->shutdownReason_, sizeof(player->shutdownReason_), "%s", reason ? reason : "");
  jackMessagesSilenced.store(true, std::memory_order_relaxed);
  player->serverGone_.store(true, std::memory_order_release);
}

void JackPlayer::silence(jack_nframes_t frames, float* const* outputs) {
  for (size_t c = 0; c < outputPorts_.size(); ++c) std::fill(outputs[c], outputs[c] + frames, 0.0f);
}

int JackPlayer::process(jack_nframes_t frames) {
  if (frames == 0) return 0;
  const auto started = std::chrono::steady_clock::now();
  for (size_t c = 0; c < outputPorts_.size(); ++c)
    outputBuffers_[c] = static_cast<float*>(jack_port_get_buffer(outputPorts_[c], frames));
  jack_port_t* midiIn = midiIn_.load(std::memory_order_acquire);
  void* midi = midiIn != nullptr ? jack_port_get_buffer(midiIn, frames) : nullptr;
  const uint32_t eventCount = midi != nullptr ? jack_midi_get_event_count(midi) : 0;
  midiEvents_.fetch_add(eventCount, std::memory_order_relaxed);

  int expected = kFree;
  bool owned = owner_.compare_exchange_strong(expected, kAudioThread, std::memory_order_acquire);
  if (owned && frames > static_cast<jack_nframes_t>(plugin_->blockSize())) {
    // Longer than the plug-in was set up for: silence until the main
    // thread has set the new size.
    owner_.store(kFree, std::memory_order_release);
    owned = false;
    reports_.push({LiveReport::Kind::periodTooLong, 0, 0, frames});
  }

  // Every byte goes through the parser, even in a silent period, so that
  // running status stays right.
  size_t count = 0;
  uint32_t dropped = 0;
  for (uint32_t i = 0; i < eventCount; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi, i) != 0) continue;
    const uint32_t frame = std::min<uint32_t>(event.time, frames - 1);
    pluginhost::Midi message{};
    for (size_t b = 0; b < event.size; ++b) {
      if (!parser_.take(event.buffer[b], message)) continue;
      if (!owned || count == messages_.size()) {
        ++dropped;
        continue;
      }
      messages_[count] = message;
      messageFrames_[count] = frame;
      ++count;
    }
  }
  otherMessages_.store(parser_.otherMessages(), std::memory_order_relaxed);

  if (owned) {
    // Sub-blocks end where the next event starts, so each event acts on
    // its own frame.
    size_t next = 0;
    uint32_t position = 0;
    while (position < frames) {
      const size_t first = next;
      while (next < count && messageFrames_[next] <= position) ++next;
      if (next > first) plugin_->send(&messages_[first], next - first);
      const uint32_t end = next < count ? messageFrames_[next] : frames;
      plugin_->render(static_cast<int32_t>(end - position), outputBuffers_.data(), outputBuffers_.size(),
                      position);
      position = end;
    }
    owner_.store(kFree, std::memory_order_release);
  } else {
    silence(frames, outputBuffers_.data());
  }

  sentMessages_.fetch_add(count, std::memory_order_relaxed);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t kind = messages_[i][0] & 0xF0;
    if (kind != 0x90 && kind != 0x80) continue;
    const bool on = kind == 0x90 && messages_[i][2] > 0;
    reports_.push({on ? LiveReport::Kind::noteOn : LiveReport::Kind::noteOff,
                   static_cast<uint8_t>(messages_[i][0] & 0x0F), messages_[i][1], 0});
  }
  if (dropped > 0) {
    dropped_.fetch_add(dropped, std::memory_order_relaxed);
    reports_.push({LiveReport::Kind::eventsDropped, 0, 0, dropped});
  }

  float peak = 0.0f;
  if (!outputBuffers_.empty())
    for (jack_nframes_t i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(outputBuffers_[0][i]));
  raiseToAtLeast(peak_, peak);
  raiseToAtLeast(recentPeak_, peak);

  periods_.fetch_add(1, std::memory_order_relaxed);
  const auto nanos = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started)
          .count());
  processNanos_.fetch_add(nanos, std::memory_order_relaxed);
  raiseToAtLeast(processNanosMax_, nanos);
  return 0;
}

}  // namespace sarn2tool
