#include "tests/tools/jack_server.h"

#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tooltest {

namespace {

constexpr double kStartSeconds = 10.0;
constexpr double kStopSeconds = 10.0;

void quiet(const char*) {}

jack_client_t* openProbe(const std::string& server) {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  jack_status_t status{};
  return jack_client_open("test_probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                          &status, server.c_str());
}

// A running server can refuse a client for a moment (another client is
// being set up or closed, or the machine is busy): keep asking until the
// time runs out.
jack_client_t* openProbeWithin(const std::string& server, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    if (jack_client_t* probe = openProbe(server)) return probe;
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

constexpr double kProbeSeconds = 5.0;

}  // namespace

PrivateJackServer::PrivateJackServer(int rate, int period) {
  // Synchronous: a period in which a client is late (the test machine may be
  // busy) is waited for instead of played without it, so that every period
  // of a recording went through every client.
  static std::atomic<int> serial{0};
  name_ = "sarn2test-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  jackd_ = std::make_unique<Process>(
      std::vector<std::string>{"/usr/bin/jackd", "--sync", "--no-realtime", "-d", "dummy", "-r",
                               std::to_string(rate), "-p", std::to_string(period)},
      environmentWith(environment()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kStartSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (jack_client_t* probe = openProbe(name_)) {
      jack_client_close(probe);
      ready_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

PrivateJackServer::~PrivateJackServer() { stop(); }

bool PrivateJackServer::stop() {
  if (stopped_) return true;
  stopped_ = true;
  jackd_->signal(SIGTERM);
  return jackd_->wait(kStopSeconds);
}

bool PrivateJackServer::setPeriod(int frames) {
  jack_client_t* probe = openProbeWithin(name_, kProbeSeconds);
  if (probe == nullptr) return false;
  const bool set = jack_set_buffer_size(probe, static_cast<jack_nframes_t>(frames)) == 0;
  jack_client_close(probe);
  return set;
}

std::vector<std::pair<std::string, std::string>> PrivateJackServer::environment() const {
  return {{"JACK_DEFAULT_SERVER", name_}, {"JACK_NO_START_SERVER", "1"}};
}

bool waitForJackPort(const std::string& server, const std::string& port, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  jack_client_t* probe = openProbeWithin(server, seconds);
  if (probe == nullptr) return false;
  bool found = false;
  while (!found && std::chrono::steady_clock::now() < deadline) {
    found = jack_port_by_name(probe, port.c_str()) != nullptr;
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  jack_client_close(probe);
  return found;
}

}  // namespace tooltest
