#pragma once
// The server's one thread: the listening socket, every connection, the
// 17 ms tick grid on which frames go out, and the signals that stop it, all
// in one epoll loop. Connections are admitted (admission.h) or refused with
// their reason; each is a Connection (ssh_connection.h).
//
// SIGINT, SIGTERM and SIGHUP stop it: no more connections are taken, every
// show ends as a key would end it (the viewer's terminal given back), and
// Run returns within StopNs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/ssh/admission.h"
#include "platform/ssh/ssh_connection.h"

namespace cellshow {

struct ServerTotals {
  uint64_t connections = 0;  // admitted
  uint64_t viewers = 0;      // shows started
  uint64_t refused = 0;
  int peak = 0;  // connections at once
};

class SshServer {
 public:
  static constexpr int64_t StopNs = 1'500'000'000;

  // `bind` holds the host key; `viewers` what every viewer shares.
  SshServer(ssh_bind bind, ViewerContext& viewers, const ServeLimits& limits);
  ~SshServer();
  SshServer(const SshServer&) = delete;
  SshServer& operator=(const SshServer&) = delete;

  // Listens on `address` ("" for every address, IPv6 and IPv4) and `port`
  // (0: one the system picks). False with `error` set to one line.
  bool Listen(const std::string& address, int port, std::string& error);
  int port() const { return port_; }
  // The address it listens on, as the user gave it.
  const std::string& where() const { return where_; }

  // Serves until a stop signal. Returns the exit code (0).
  int Run();

  const ServerTotals& totals() const { return totals_; }

 private:
  struct Lingering {
    int fd;
    int64_t untilNs;
  };
  void AcceptAll(int64_t nowNs);
  void Admit(int fd, const std::string& address, int64_t nowNs);
  void Watch(uint64_t id, Connection& connection);
  void Served(uint64_t id, int64_t nowNs);
  void Remove(uint64_t id, int64_t nowNs);
  void Tick(int64_t nowNs);
  void TickIfDue();
  void BeginStop(int64_t nowNs);
  void Drain(uint64_t id, int64_t nowNs, bool expireOnly);

  ssh_bind bind_;
  ViewerContext& viewers_;
  Admission admission_;
  ServerTotals totals_;
  int listen_ = -1;
  int epoll_ = -1;
  int signals_ = -1;
  int timer_ = -1;
  int port_ = 0;
  std::string where_;
  int64_t originNs_ = 0;
  int64_t nextTickNs_ = 0;  // the next point of the tick grid
  bool stopping_ = false;
  bool listening_ = true;  // the listener is watched (not while descriptors run out)
  int64_t stopByNs_ = 0;
  uint64_t nextId_ = 16;
  std::map<uint64_t, std::unique_ptr<Connection>> connections_;
  std::map<uint64_t, bool> watchingWrite_;
  std::map<uint64_t, Lingering> lingering_;
};

}  // namespace cellshow
