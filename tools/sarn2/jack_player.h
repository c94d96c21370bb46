// The live player's JACK client: a MIDI input, one audio output per output
// of the hosted plug-in, the process callback that plays every event on
// its frame, and the connections a standalone instrument makes.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tools/sarn2/live_midi.h"
#include "tools/sarn2/live_plugin.h"
#include "tools/sarn2/spsc_queue.h"

namespace sarn2tool {

// What the audio thread tells the main thread, through a lock-free queue.
struct LiveReport {
  enum class Kind : uint8_t { noteOn, noteOff, eventsDropped, periodTooLong };
  Kind kind;
  uint8_t channel = 0;
  uint8_t note = 0;
  uint32_t count = 0;  // events dropped, or the period's frames
};

// Totals since activation, readable from any thread.
struct LiveCounters {
  uint64_t midiEvents = 0;     // JACK MIDI events received
  uint64_t sentMessages = 0;   // channel messages sent to the plug-in
  uint64_t otherMessages = 0;  // system exclusive and other non-channel messages, not sent
  uint64_t dropped = 0;        // messages beyond a period's capacity, or in a silent period
  uint64_t xruns = 0;
  uint64_t periods = 0;
  uint64_t processNanos = 0;  // time spent in the process callback
  uint64_t processNanosMax = 0;
  float peak = 0.0f;  // output 1, whole session
};

class JackPlayer {
 public:
  // Messages a period can carry to the plug-in; more are counted as dropped.
  static constexpr size_t kEventsPerPeriod = 512;

  // Opens a client of a running server, never starting one. Throws
  // ToolError, saying how to start a server when none runs.
  explicit JackPlayer(const std::string& clientName);
  // Deactivates (unless the server is gone) and closes the client.
  ~JackPlayer();
  JackPlayer(const JackPlayer&) = delete;
  JackPlayer& operator=(const JackPlayer&) = delete;

  std::string clientName() const;
  uint32_t sampleRate() const { return sampleRate_; }
  uint32_t bufferSize() const { return bufferSize_; }

  // Registers out_1.., one per plug-in output, activates, then registers
  // midi_in.
  // The plug-in must be open at sampleRate() and bufferSize(), processing
  // on. Throws ToolError.
  void start(LivePlugin& plugin);

  // Unless --no-connect: the outputs to the physical playback ports, and
  // MIDI sources to midi_in: the physical ones, or the ones midiFrom
  // names (exact JACK port names or regular expressions, searched in port
  // names and aliases), now and whenever such a port appears.
  void connect(const std::vector<std::string>& midiFrom);

  // Main-thread work, called a few times a second: connections to ports
  // that appeared, rate and buffer-size changes, reports of the audio
  // thread. Reports go to onReport.
  template <typename OnReport>
  void service(OnReport&& onReport) {
    serviceConnections();
    serviceReconfiguration();
    LiveReport report{};
    while (reports_.pop(report)) onReport(report);
  }

  // Stops processing; afterwards the plug-in is not touched again.
  void stop();

  bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
  std::string shutdownReason() const;
  LiveCounters counters() const;
  // Peak of output 1 since the last call.
  float takeRecentPeak();
  // JACK's own DSP load figure in percent, as last read by service().
  float dspLoad() const { return lastDspLoad_; }

  // Main thread: where connection and reconfiguration notes go.
  std::function<void(const std::string&)> notice;

 private:
  static int processCallback(jack_nframes_t frames, void* self);
  static int bufferSizeCallback(jack_nframes_t frames, void* self);
  static int sampleRateCallback(jack_nframes_t rate, void* self);
  static int xrunCallback(void* self);
  static void portRegistrationCallback(jack_port_id_t port, int registered, void* self);
  static void shutdownCallback(jack_status_t code, const char* reason, void* self);

  int process(jack_nframes_t frames);
  void silence(jack_nframes_t frames, float* const* outputs);
  bool wantsMidiFrom(jack_port_t* port) const;
  void connectMidiSource(const char* name);
  void serviceConnections();
  void serviceReconfiguration();

  // Who may touch the plug-in: the process callback takes it for a period
  // when it is free and renders silence when it is not, so it never waits
  // for the main thread.
  enum Owner : int { kFree = 0, kAudioThread = 1, kMainThread = 2 };
  bool takeForMainThread();

  jack_client_t* client_ = nullptr;
  LivePlugin* plugin_ = nullptr;
  // Registered after activation, so the audio thread may see it missing.
  std::atomic<jack_port_t*> midiIn_{nullptr};
  std::vector<jack_port_t*> outputPorts_;
  std::vector<float*> outputBuffers_;  // sized at start, filled each period
  uint32_t sampleRate_ = 0, bufferSize_ = 0;
  float lastDspLoad_ = 0.0f;
  bool active_ = false;
  bool connecting_ = false;
  std::vector<std::string> midiFromNames_;
  std::vector<std::regex> midiFromPatterns_;

  // Audio thread only.
  LiveMidiParser parser_;
  std::vector<pluginhost::Midi> messages_;
  std::vector<uint32_t> messageFrames_;

  std::atomic<int> owner_{kFree};
  std::atomic<uint32_t> pendingRate_{0}, pendingBufferSize_{0};
  std::atomic<bool> serverGone_{false};
  char shutdownReason_[256] = {};
  std::atomic<uint64_t> midiEvents_{0}, sentMessages_{0}, otherMessages_{0}, dropped_{0}, xruns_{0},
      periods_{0}, processNanos_{0}, processNanosMax_{0};
  std::atomic<float> peak_{0.0f}, recentPeak_{0.0f};
  SpscQueue<LiveReport> reports_{1024};
  // Ports that appeared, from JACK's notification thread.
  SpscQueue<jack_port_id_t> newPorts_{256};
};

}  // namespace sarn2tool
