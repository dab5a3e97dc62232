#pragma once
// A bare TCP connection to the server from a chosen loopback address: for
// clients that never speak SSH properly, and for holding a place against the
// server's limits.
#include <string>

namespace cellshow::test {

class RawConnection {
 public:
  RawConnection(int port, const std::string& source);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool ok() const { return fd_ >= 0; }
  bool Send(const std::string& bytes);
  // Reads until `text` has come (with "": until the server closes); false
  // when the server closes first or timeoutMs passes. `received()` holds all
  // that came.
  bool ReadUntil(const std::string& text, int timeoutMs);
  bool ReadToClose(int timeoutMs) { return ReadUntil("", timeoutMs); }
  const std::string& received() const { return received_; }

 private:
  bool ReadSome(int timeoutMs);
  int fd_ = -1;
  bool closed_ = false;
  std::string received_;
};

}  // namespace cellshow::test
