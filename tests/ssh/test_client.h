#pragma once
// A viewer's client of our own (libssh), for what OpenSSH's client will not
// send: any pty size or terminal name, floods of window changes, a chosen
// source address on the loopback. Blocking, one session, one channel.
#include <libssh/libssh.h>

#include <string>

namespace cellshow::test {

class TestClient {
 public:
  // Connects from `source` (an address in 127.0.0.0/8) to 127.0.0.1:port,
  // exchanges keys and logs in with no password. ok() tells whether it got
  // that far; refusal() holds the server's disconnect message when it
  // refused.
  TestClient(int port, const std::string& source = "127.0.0.1");
  ~TestClient();
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  bool ok() const { return channel_ != nullptr; }
  const std::string& refusal() const { return refusal_; }

  bool Pty(const std::string& term, int columns, int rows);
  bool Env(const std::string& name, const std::string& value);
  bool Shell();
  bool WindowChange(int columns, int rows);
  bool Type(const std::string& bytes);

  // Reads what comes for up to timeoutMs (until the channel closes);
  // returns the bytes read now. `output()` holds everything read.
  std::string Read(int timeoutMs);
  // Reads until `text` has come (with "": until the channel closes); false
  // after timeoutMs.
  bool ReadUntil(const std::string& text, int timeoutMs);
  bool ReadToEnd(int timeoutMs) { return ReadUntil("", timeoutMs); }
  const std::string& output() const { return output_; }
  int exitStatus() const;
  bool closed() const;

 private:
  ssh_session session_ = nullptr;
  ssh_channel channel_ = nullptr;
  std::string refusal_, output_, errors_;
};

}  // namespace cellshow::test
