#pragma once
// One connection to the server: its libssh session from the key exchange to
// the close, wired to one Viewer (viewer.h) that does everything after the
// protocol. Any user name is let in with any method or none; the one session
// channel a connection may open carries the show, and every other request
// (another channel, forwardings, X11, an agent, a subsystem) is refused.
//
// Frames go out only when libssh holds none unsent (the socket took the last
// one) and only as much as the channel's window takes; the rest waits in
// the viewer as its one frame in hand. A connection that sends nothing for
// StallNs while bytes wait is dropped, and so is one whose show has not
// started HandshakeNs after it was accepted.
//
// Single-threaded: the server's loop calls everything here.
#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <libssh/server.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ssh/viewer.h"

namespace cellshow {

class Connection {
 public:
  static constexpr int64_t HandshakeNs = 10'000'000'000;
  static constexpr int64_t StallNs = 30'000'000'000;
  // After the exit status and the close, how long the client has to close
  // its side before the connection is dropped.
  static constexpr int64_t ClosingNs = 2'000'000'000;

  enum class State { Handshake, Open, Finishing, Closed };

  // `tickOriginNs`: the server's tick grid, on which every show starts.
  Connection(ViewerContext& viewers, int64_t tickOriginNs, std::string address, int64_t nowNs);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Takes the accepted socket into a session and starts the key exchange.
  // False (the socket closed) when libssh cannot.
  bool Accept(ssh_bind bind, int fd);

  // The socket is readable or writable: reads and answers what came.
  void Service(int64_t nowNs);
  // Hands out what the viewer has due now, as far as the connection takes it.
  void Pump(int64_t nowNs);
  // The handshake deadline, a stalled viewer, a client that does not close.
  void CheckTimers(int64_t nowNs);
  // The server stops: a show ends as a key would end it; a handshake is
  // told why and closed.
  void Stop(int64_t nowNs);

  State state() const { return state_; }
  int fd() const { return fd_; }
  // libssh holds bytes the socket had no room for (as of the last call).
  bool wantsWrite() const { return pending_; }
  // No show (or refusal line) has started: counts as a handshake.
  bool inHandshake() const { return viewer_ == nullptr || !viewer_->started(); }
  const std::string& address() const { return address_; }
  // The line logged when the connection goes.
  std::string LogLine(int64_t nowNs) const;

 private:
  void Finish(int64_t nowNs);
  bool Flush();
  void Drop(const std::string& why, bool tellClient);

  // libssh's callbacks; `userdata` is the Connection.
  static int AuthNone(ssh_session, const char*, void*);
  static int AuthPassword(ssh_session, const char*, const char*, void*);
  static int AuthKey(ssh_session, const char*, ssh_key, char, void*);
  static int Message(ssh_session, ssh_message, void*);
  static ssh_channel OpenSession(ssh_session, void*);
  static int Data(ssh_session, ssh_channel, void*, uint32_t, int, void*);
  static void Closed(ssh_session, ssh_channel, void*);
  static int PtyRequest(ssh_session, ssh_channel, const char*, int, int, int, int, void*);
  static int ShellRequest(ssh_session, ssh_channel, void*);
  static int ExecRequest(ssh_session, ssh_channel, const char*, void*);
  static int EnvRequest(ssh_session, ssh_channel, const char*, const char*, void*);
  static int SubsystemRequest(ssh_session, ssh_channel, const char*, void*);
  static int WindowChange(ssh_session, ssh_channel, int, int, int, int, void*);

  ViewerContext& viewers_;
  const int64_t tickOriginNs_;
  const std::string address_;
  const int64_t acceptedNs_;
  int64_t nowNs_ = 0;       // the time of the call being served
  int64_t progressNs_ = 0;  // last time the connection took bytes, or had none waiting
  int64_t closingSinceNs_ = 0;
  State state_ = State::Handshake;
  int fd_ = -1;
  ssh_session session_ = nullptr;
  ssh_event event_ = nullptr;
  ssh_channel channel_ = nullptr;
  bool remoteClosed_ = false;
  bool pending_ = false;  // see wantsWrite
  std::string dropped_;   // why the connection was dropped, if it was
  std::unique_ptr<Viewer> viewer_;
  ssh_server_callbacks_struct serverCallbacks_{};
  ssh_channel_callbacks_struct channelCallbacks_{};
};

// Tells a connection that is not let in why, in one line its client shows
// (an SSH disconnect message after the version exchange, before any key
// exchange), then closes it. Returns a descriptor of the socket to read
// until the client closes (so the close does not reset the connection), or
// -1 when there is nothing left to wait for.
int Refuse(ssh_bind bind, int fd, const std::string& reason);

}  // namespace cellshow
