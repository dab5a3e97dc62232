#include "raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace cellshow::test {

RawConnection::RawConnection(int port, const std::string& source) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &from.sin_addr);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Send(const std::string& bytes) {
  size_t done = 0;
  while (ok() && done < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ok();
}

bool RawConnection::ReadSome(int timeoutMs) {
  pollfd wait{fd_, POLLIN, 0};
  if (poll(&wait, 1, timeoutMs) != 1) return false;
  char buffer[4096];
  const ssize_t n = read(fd_, buffer, sizeof buffer);
  if (n <= 0) {
    closed_ = true;
    return false;
  }
  received_.append(buffer, static_cast<size_t>(n));
  return true;
}

bool RawConnection::ReadUntil(const std::string& text, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto seen = [&] { return !text.empty() && received_.find(text) != std::string::npos; };
  while (ok() && !closed_ && !seen() && std::chrono::steady_clock::now() < end) ReadSome(50);
  return text.empty() ? closed_ : seen();
}

}  // namespace cellshow::test
