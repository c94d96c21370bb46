// A stand-in for a musician at a MIDI keyboard and a recorder, for the
// tests of `sarn2 play`: a JACK client with a MIDI output port flagged as
// physical that sends chosen bytes at chosen frames, and a second client
// that records an audio port from the same frame into a WAV file.
//
//   jack_test_keyboard [--name NAME] [--not-physical] [--midi-to PORT | --wait-connected]
//                      [--record PORT --frames N -o FILE] [--list-connections PORT]
//                      [--event FRAME:HEX]... [--burst FRAME:COUNT:HEX]... [--hold SECONDS]
//
// FRAME counts from a start frame two periods after everything is
// connected; HEX is the event's bytes (904564 is a note-on of note 69).
// --hold keeps the clients running that long after the last event.
// Prints "start S", "sent K" and "unsent U" (events the port had no room
// for) and, with --list-connections, one "connection P" line per port.
// Exit status 0, 2 for a bad command line, 3 when something timed out.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kTimeoutSeconds = 20.0;

struct TimedEvent {
  uint32_t frame;
  std::vector<uint8_t> bytes;
};

std::vector<TimedEvent> events;
std::vector<float> recording;
jack_port_t* keys = nullptr;
jack_port_t* audioIn = nullptr;
jack_client_t* keyboardClient = nullptr;
jack_client_t* recorderClient = nullptr;
std::atomic<bool> armed{false}, started{false}, recorded{false};
std::atomic<uint32_t> startFrame{0};
std::atomic<size_t> nextEvent{0};
std::atomic<uint32_t> sent{0}, unsent{0};

bool parseHex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.empty() || text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const long value = std::strtol(pair.c_str(), &end, 16);
    if (*end != 0) return false;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

int keyboardProcess(jack_nframes_t frames, void*) {
  void* out = jack_port_get_buffer(keys, frames);
  jack_midi_clear_buffer(out);
  if (!armed.load()) return 0;
  const jack_nframes_t now = jack_last_frame_time(keyboardClient);
  if (!started.load()) {
    startFrame.store(now + 2 * frames);
    started.store(true);
  }
  const uint32_t start = startFrame.load();
  size_t next = nextEvent.load();
  while (next < events.size()) {
    const uint32_t at = start + events[next].frame;
    if (at >= now + frames) break;
    const uint32_t offset = at >= now ? at - now : 0;
    if (jack_midi_event_write(out, offset, events[next].bytes.data(), events[next].bytes.size()) == 0)
      sent.fetch_add(1);
    else
      unsent.fetch_add(1);
    ++next;
  }
  nextEvent.store(next);
  return 0;
}

int recorderProcess(jack_nframes_t frames, void*) {
  if (!started.load() || recorded.load()) return 0;
  const auto* in = static_cast<const float*>(jack_port_get_buffer(audioIn, frames));
  const uint32_t now = jack_last_frame_time(recorderClient), start = startFrame.load();
  for (jack_nframes_t i = 0; i < frames; ++i) {
    const int64_t index = int64_t{now} + i - start;
    if (index >= 0 && index < static_cast<int64_t>(recording.size()))
      recording[static_cast<size_t>(index)] = in[i];
  }
  if (int64_t{now} + frames - start >= static_cast<int64_t>(recording.size())) recorded.store(true);
  return 0;
}

template <typename Done>
bool waitFor(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kTimeoutSeconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

jack_client_t* openClient(const std::string& name) {
  jack_status_t status{};
  return jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName),
                          &status);
}

int usage(const char* why) {
  std::fprintf(stderr, "jack_test_keyboard: %s\n", why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string name = "test_keyboard", midiTo, recordFrom, outputPath, listPort;
  bool physical = true, waitConnected = false;
  size_t frames = 0;
  double holdSeconds = 0.0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--not-physical") {
      physical = false;
    } else if (arg == "--wait-connected") {
      waitConnected = true;
    } else if (!hasValue) {
      return usage(("missing value for " + arg).c_str());
    } else if (arg == "--name") {
      name = argv[++i];
    } else if (arg == "--midi-to") {
      midiTo = argv[++i];
    } else if (arg == "--record") {
      recordFrom = argv[++i];
    } else if (arg == "--frames") {
      frames = std::stoul(argv[++i]);
    } else if (arg == "-o") {
      outputPath = argv[++i];
    } else if (arg == "--hold") {
      holdSeconds = std::stod(argv[++i]);
    } else if (arg == "--list-connections") {
      listPort = argv[++i];
    } else if (arg == "--event" || arg == "--burst") {
      const std::string item = argv[++i];
      const size_t colon = item.find(':'), last = item.rfind(':');
      TimedEvent event{static_cast<uint32_t>(std::stoul(item.substr(0, colon))), {}};
      if (colon == std::string::npos || !parseHex(item.substr(last + 1), event.bytes))
        return usage(("bad event " + item).c_str());
      const size_t copies = arg == "--burst" ? std::stoul(item.substr(colon + 1, last - colon - 1)) : 1;
      for (size_t c = 0; c < copies; ++c) events.push_back(event);
    } else {
      return usage(("unknown argument " + arg).c_str());
    }
  }
  if (!recordFrom.empty() && (frames == 0 || outputPath.empty()))
    return usage("--record needs --frames and -o");

  keyboardClient = openClient(name);
  if (keyboardClient == nullptr) return usage("no JACK server");
  unsigned long flags = JackPortIsOutput | JackPortIsTerminal;
  if (physical) flags |= JackPortIsPhysical;
  keys = jack_port_register(keyboardClient, "keys", JACK_DEFAULT_MIDI_TYPE, flags, 0);
  jack_set_process_callback(keyboardClient, keyboardProcess, nullptr);
  if (!recordFrom.empty()) {
    recording.assign(frames, 0.0f);
    recorderClient = openClient(name + "_rec");
    audioIn = jack_port_register(recorderClient, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(recorderClient, recorderProcess, nullptr);
    jack_activate(recorderClient);
  }
  jack_activate(keyboardClient);

  const std::string keysName = jack_port_name(keys);
  const auto portExists = [](const std::string& port) {
    return [port] { return jack_port_by_name(keyboardClient, port.c_str()) != nullptr; };
  };
  int status = 0;
  if (!midiTo.empty()) {
    if (!waitFor(portExists(midiTo))) status = 3;
    if (status == 0) jack_connect(keyboardClient, keysName.c_str(), midiTo.c_str());
  }
  if (waitConnected && !waitFor([] { return jack_port_connected(keys) > 0; })) status = 3;
  if (status == 0 && !recordFrom.empty()) {
    if (!waitFor(portExists(recordFrom))) status = 3;
    if (status == 0) jack_connect(recorderClient, recordFrom.c_str(), jack_port_name(audioIn));
  }
  if (status == 0 && !listPort.empty()) {
    // Connections are made by another client; give them a moment to settle.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    jack_port_t* port = jack_port_by_name(keyboardClient, listPort.c_str());
    const char** connections = port ? jack_port_get_all_connections(keyboardClient, port) : nullptr;
    for (const char** c = connections; c != nullptr && *c != nullptr; ++c) std::printf("connection %s\n", *c);
    if (connections) jack_free(connections);
  }
  if (status == 0) {
    armed.store(true);
    if (!waitFor([] { return nextEvent.load() == events.size(); })) status = 3;
    if (!recordFrom.empty() && !waitFor([] { return recorded.load(); })) status = 3;
    std::this_thread::sleep_for(std::chrono::duration<double>(holdSeconds));
  }
  std::printf("start %u\nsent %u\nunsent %u\n", startFrame.load(), sent.load(), unsent.load());

  const int rate = static_cast<int>(jack_get_sample_rate(keyboardClient));
  if (recorderClient) jack_client_close(recorderClient);
  jack_client_close(keyboardClient);
  if (status == 0 && !recordFrom.empty()) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(outputPath.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return usage("cannot write the recording");
    sf_write_float(file, recording.data(), static_cast<sf_count_t>(recording.size()));
    sf_close(file);
  }
  return status;
}
