#pragma once
// The benchmark's load client: many SSH viewers held by one process
// (libssh), each reading as fast as it can. Four threads connect viewers
// (at most four handshakes at a time, from source addresses
// spread over 127.0.0.0/8 so that no address holds more than perAddress);
// another reads every connected viewer until its show ends. An OpenSSH
// client per viewer would weigh the client, not the server.
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::bench {

struct LoadSettings {
  int port = 0;
  int viewers = 1;
  std::string term = "xterm-256color";
  int columns = 80, rows = 50;
  int perAddress = 8;
  // Public-key login (for sshd); empty: none, as the show's server takes.
  std::string keyPath;
  // The cipher asked for (the server's choice among the client's).
  std::string cipher = "aes128-gcm@openssh.com";
};

struct ViewerResult {
  bool connected = false;
  bool ended = false;  // the channel closed after the show
  int exitStatus = -1;
  bool restored = false;  // the last bytes were the terminal's restore
  uint64_t bytes = 0;
  uint64_t frames = 0;  // synchronized updates begun
};

class LoadClient {
 public:
  explicit LoadClient(const LoadSettings& settings);
  // Connects every viewer and reads until each show has ended or
  // timeoutSeconds have passed. `allConnected` is called (on the connecting
  // thread) once every viewer's show has started.
  void Run(double timeoutSeconds, void (*allConnected)(void*) = nullptr, void* context = nullptr);
  const std::vector<ViewerResult>& results() const { return results_; }
  // Seconds from Run's start: every show started; every show ended.
  double connectedAt() const { return connectedAt_; }
  double endedAt() const { return endedAt_; }
  std::string error() const { return error_; }

 private:
  LoadSettings settings_;
  std::vector<ViewerResult> results_;
  double connectedAt_ = 0, endedAt_ = 0;
  std::string error_;
};

}  // namespace cellshow::bench
