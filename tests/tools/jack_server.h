// A JACK server of the test's own: the dummy backend under a unique name,
// so that no test shares a server with another or with a user's session.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/tools/tool_runner.h"

namespace tooltest {

class PrivateJackServer {
 public:
  // Starts jackd (synchronous, no real-time scheduling, dummy backend) and waits until a
  // client can connect; ready() tells whether it came up.
  PrivateJackServer(int rate, int period);
  // Stops the server with SIGTERM and waits for it: a killed server would
  // leave its shared memory behind.
  ~PrivateJackServer();
  bool ready() const { return ready_; }
  const std::string& name() const { return name_; }
  // Stops it now; true when it exited within the time.
  bool stop();

  // Asks the running server for a new period, as jack_bufsize does.
  bool setPeriod(int frames);

  // JACK_DEFAULT_SERVER naming this server, and no starting of servers.
  std::vector<std::pair<std::string, std::string>> environment() const;

 private:
  std::string name_;
  std::unique_ptr<Process> jackd_;
  bool ready_ = false;
  bool stopped_ = false;
};

// True once the port exists on the named server, within seconds.
bool waitForJackPort(const std::string& server, const std::string& port, double seconds);

}  // namespace tooltest
