#pragma once
// Who may connect: at most maxViewers connections in all (handshakes
// included), maxPerAddress from one source address, and maxHandshakes that
// have not started a show yet (as sshd's MaxStartups keeps unauthenticated
// connections down). A refused connection is told why in one line.
//
// Single-threaded: the server's loop owns it.
#include <string>
#include <unordered_map>

namespace cellshow {

struct ServeLimits {
  int maxViewers = 1000;
  int maxPerAddress = 8;
  int maxHandshakes = 50;
};

class Admission {
 public:
  enum class Verdict { Admitted, Full, AddressFull, Busy, Stopping };

  explicit Admission(const ServeLimits& limits) : limits_(limits) {}

  // A connection from `address` arrives: counted in when admitted (as a
  // handshake).
  Verdict Admit(const std::string& address);
  // An admitted connection has finished its handshake (its show started).
  void HandshakeDone() { --handshakes_; }
  // An admitted connection has gone; `inHandshake` when it never started.
  void Left(const std::string& address, bool inHandshake);
  // From now on every connection is refused.
  void Stop() { stopping_ = true; }

  // The line a refused client is shown.
  std::string Reason(Verdict verdict) const;

  int connections() const { return connections_; }
  int handshakes() const { return handshakes_; }
  int from(const std::string& address) const;

 private:
  const ServeLimits limits_;
  std::unordered_map<std::string, int> perAddress_;
  int connections_ = 0;
  int handshakes_ = 0;
  bool stopping_ = false;
};

}  // namespace cellshow
