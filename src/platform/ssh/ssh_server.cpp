#include "platform/ssh/ssh_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cellshow {
namespace {

// epoll's ids below the first connection's.
constexpr uint64_t ListenId = 1, SignalId = 2, TimerId = 3;
// Connections accepted in one wake before the others get their turn.
constexpr int AcceptBurst = 64;
constexpr int64_t LingerNs = 2'000'000'000;

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// The client's address as the limits count it and the log shows it: IPv4
// mapped into IPv6 is written as IPv4.
std::string AddressOf(const sockaddr_storage& peer) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (peer.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, text, sizeof text);
  } else if (peer.ss_family == AF_INET6) {
    const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&a)) {
      inet_ntop(AF_INET, &a.s6_addr[12], text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &a, text, sizeof text);
    }
  }
  return text;
}

}  // namespace

SshServer::SshServer(ssh_bind bind, ViewerContext& viewers, const ServeLimits& limits)
    : bind_(bind), viewers_(viewers), admission_(limits) {}

SshServer::~SshServer() {
  connections_.clear();
  for (const auto& [id, linger] : lingering_) close(linger.fd);
  for (int fd : {listen_, epoll_, signals_, timer_})
    if (fd >= 0) close(fd);
}

bool SshServer::Listen(const std::string& address, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  hints.ai_family = address.empty() ? AF_INET6 : AF_UNSPEC;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  int rc =
      getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0 && address.empty()) {  // no IPv6 here: every IPv4 address
    hints.ai_family = AF_INET;
    rc = getaddrinfo(nullptr, service.c_str(), &hints, &found);
  }
  if (rc != 0) {
    error = "--serve: cannot use the address '" + address + "': " + gai_strerror(rc);
    return false;
  }
  int lastErrno = 0;
  for (addrinfo* a = found; a != nullptr && listen_ < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    const int on = 1, off = 0;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (a->ai_family == AF_INET6 && address.empty())
      setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 512) == 0) {
      listen_ = fd;
    } else {
      lastErrno = errno;
      close(fd);
    }
  }
  freeaddrinfo(found);
  if (listen_ < 0) {
    error = "--serve: cannot listen on " + (address.empty() ? "port " : address + " port ") +
            service + ": " + std::strerror(lastErrno);
    return false;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(listen_, reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                            : reinterpret_cast<sockaddr_in&>(bound).sin_port);
  where_ = address.empty() ? std::string("every address") : address;
  return true;
}

int SshServer::Run() {
  sigset_t stop;
  sigemptyset(&stop);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, sig);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signals_ = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  originNs_ = NowNs();
  itimerspec grid{};
  grid.it_interval.tv_nsec = ShowTickNs;
  const int64_t first = originNs_ + ShowTickNs;
  grid.it_value = {static_cast<time_t>(first / 1'000'000'000), first % 1'000'000'000};
  timerfd_settime(timer_, TFD_TIMER_ABSTIME, &grid, nullptr);
  for (const auto& [fd, id] :
       {std::pair{listen_, ListenId}, {signals_, SignalId}, {timer_, TimerId}}) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u64 = id;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e);
  }

  std::vector<epoll_event> events(256);
  nextTickNs_ = first;
  for (;;) {
    const int n =
        epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), stopping_ ? 10 : -1);
    // Frames first: the tick runs as soon as it is due, and again between
    // the events of a busy wake (a key exchange costs a millisecond or two).
    TickIfDue();
    for (int i = 0; i < n; ++i) {
      const uint64_t id = events[i].data.u64;
      const int64_t now = NowNs();
      if (id == ListenId) {
        AcceptAll(now);
      } else if (id == SignalId) {
        signalfd_siginfo info;
        while (read(signals_, &info, sizeof info) == sizeof info) {
        }
        BeginStop(now);
      } else if (id == TimerId) {
        uint64_t expirations;
        while (read(timer_, &expirations, sizeof expirations) > 0) {
        }
      } else if (lingering_.count(id) != 0) {
        Drain(id, now, false);
      } else {
        Served(id, now);
      }
      TickIfDue();
    }
    if (stopping_) Tick(NowNs());
    if (stopping_ && (connections_.empty() || NowNs() > stopByNs_)) break;
  }
  // Whoever has not closed its side by now is closed on: each still gets
  // its line.
  const int64_t now = NowNs();
  while (!connections_.empty()) Remove(connections_.begin()->first, now);
  return 0;
}

void SshServer::AcceptAll(int64_t nowNs) {
  for (int accepted = 0; accepted < AcceptBurst && listen_ >= 0; ++accepted) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd =
        accept4(listen_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
      // No descriptor left: the connection waits in the backlog, and the
      // listener is not watched until a connection goes.
      if (listening_) epoll_ctl(epoll_, EPOLL_CTL_DEL, listen_, nullptr);
      listening_ = false;
      return;
    }
    if (fd < 0) return;  // EAGAIN, or a connection gone before it was taken
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Admit(fd, AddressOf(peer), nowNs);
  }
}

void SshServer::Admit(int fd, const std::string& address, int64_t nowNs) {
  const Admission::Verdict verdict = admission_.Admit(address);
  if (verdict != Admission::Verdict::Admitted) {
    ++totals_.refused;
    const std::string reason = admission_.Reason(verdict);
    std::fprintf(stderr, "cellshow: refused %s: %s\n", address.c_str(), reason.c_str() + 10);
    const int linger = Refuse(bind_, fd, reason);
    if (linger >= 0) {
      const uint64_t id = nextId_++;
      lingering_[id] = {linger, nowNs + LingerNs};
      epoll_event e{};
      e.events = EPOLLIN | EPOLLRDHUP;
      e.data.u64 = id;
      epoll_ctl(epoll_, EPOLL_CTL_ADD, linger, &e);
    }
    return;
  }
  ++totals_.connections;
  auto connection = std::make_unique<Connection>(viewers_, originNs_, address, nowNs);
  Connection& c = *connection;
  const uint64_t id = nextId_++;
  connections_[id] = std::move(connection);
  if (connections_.size() > static_cast<size_t>(totals_.peak))
    totals_.peak = static_cast<int>(connections_.size());
  if (c.Accept(bind_, fd)) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u64 = id;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, c.fd(), &e);
    watchingWrite_[id] = false;
    Watch(id, c);
  }
  if (c.state() == Connection::State::Closed) Remove(id, nowNs);
}

// Asks for writability only while libssh holds bytes the socket has not
// taken.
void SshServer::Watch(uint64_t id, Connection& connection) {
  const bool wants = connection.wantsWrite();
  bool& watching = watchingWrite_[id];
  if (wants == watching || connection.state() == Connection::State::Closed) return;
  watching = wants;
  epoll_event e{};
  e.events = wants ? EPOLLIN | EPOLLOUT : EPOLLIN;
  e.data.u64 = id;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, connection.fd(), &e);
}

void SshServer::Served(uint64_t id, int64_t nowNs) {
  const auto at = connections_.find(id);
  if (at == connections_.end()) return;
  Connection& c = *at->second;
  const bool wasHandshake = c.inHandshake();
  c.Service(nowNs);
  c.Pump(nowNs);
  if (wasHandshake && !c.inHandshake()) {
    admission_.HandshakeDone();
    ++totals_.viewers;
  }
  if (c.state() == Connection::State::Closed) {
    Remove(id, nowNs);
  } else {
    Watch(id, c);
  }
}

void SshServer::Remove(uint64_t id, int64_t nowNs) {
  const auto at = connections_.find(id);
  if (at == connections_.end()) return;
  Connection& c = *at->second;
  std::fprintf(stderr, "%s\n", c.LogLine(nowNs).c_str());
  admission_.Left(c.address(), c.inHandshake());
  watchingWrite_.erase(id);
  connections_.erase(at);  // the session closes its socket; epoll forgets it
  if (!listening_ && listen_ >= 0) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u64 = ListenId;
    listening_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_, &e) == 0;
  }
}

void SshServer::TickIfDue() {
  const int64_t now = NowNs();
  if (now < nextTickNs_) return;
  // The next grid point after now: late points are not made up.
  nextTickNs_ += ((now - nextTickNs_) / ShowTickNs + 1) * ShowTickNs;
  Tick(now);
}

void SshServer::Tick(int64_t nowNs) {
  std::vector<uint64_t> closed;
  for (auto& [id, connection] : connections_) {
    Connection& c = *connection;
    const bool wasHandshake = c.inHandshake();
    c.Pump(nowNs);
    c.CheckTimers(nowNs);
    if (wasHandshake && !c.inHandshake()) {
      admission_.HandshakeDone();
      ++totals_.viewers;
    }
    if (c.state() == Connection::State::Closed) {
      closed.push_back(id);
    } else {
      Watch(id, c);
    }
  }
  for (uint64_t id : closed) Remove(id, nowNs);
  std::vector<uint64_t> expired;
  for (const auto& [id, linger] : lingering_)
    if (nowNs > linger.untilNs) expired.push_back(id);
  for (uint64_t id : expired) Drain(id, nowNs, true);
}

void SshServer::BeginStop(int64_t nowNs) {
  if (stopping_) return;
  stopping_ = true;
  stopByNs_ = nowNs + StopNs;
  admission_.Stop();
  if (listen_ >= 0) {
    close(listen_);
    listen_ = -1;
  }
  for (auto& [id, connection] : connections_) connection->Stop(nowNs);
}

// Reads and drops what a refused client still sends, until it closes or
// its time is up.
void SshServer::Drain(uint64_t id, int64_t nowNs, bool expireOnly) {
  const auto at = lingering_.find(id);
  if (at == lingering_.end()) return;
  bool over = expireOnly || nowNs > at->second.untilNs;
  char sink[4096];
  while (!over) {
    const ssize_t n = read(at->second.fd, sink, sizeof sink);
    if (n > 0) continue;
    over = n == 0 || errno != EAGAIN;
    break;
  }
  if (!over) return;
  close(at->second.fd);
  lingering_.erase(at);
}

}  // namespace cellshow
