#include "platform/ssh/ssh_connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace cellshow {
namespace {

Connection* Self(void* userdata) { return static_cast<Connection*>(userdata); }

// Sends the disconnect with `reason` and closes the session. libssh writes a
// packet at once only when a poll has found the socket writable since its
// last write; otherwise it queues it, and the close that follows loses it
// (the client then sees the connection closed, without the reason). When
// nothing else is queued the socket has room for the small disconnect, so
// libssh is told it may write now; a client whose socket is full is not
// reading and would not see it anyway.
void DisconnectWith(ssh_session session, const std::string& reason) {
  ssh_session_set_disconnect_message(session, reason.c_str());
  if ((ssh_get_status(session) & SSH_WRITE_PENDING) == 0) ssh_set_fd_towrite(session);
  ssh_disconnect(session);
}

}  // namespace

Connection::Connection(ViewerContext& viewers, int64_t tickOriginNs, std::string address,
                       int64_t nowNs)
    : viewers_(viewers),
      tickOriginNs_(tickOriginNs),
      address_(std::move(address)),
      acceptedNs_(nowNs),
      nowNs_(nowNs),
      progressNs_(nowNs) {}

Connection::~Connection() {
  viewer_.reset();  // leaves its log before the session goes
  if (event_ != nullptr) {
    if (state_ != State::Handshake) ssh_event_remove_session(event_, session_);
    ssh_event_free(event_);
  }
  if (session_ != nullptr) ssh_free(session_);  // frees the channel and closes the socket
}

bool Connection::Accept(ssh_bind bind, int fd) {
  session_ = ssh_new();
  if (session_ == nullptr || ssh_bind_accept_fd(bind, session_, fd) != SSH_OK) {
    close(fd);
    state_ = State::Closed;
    dropped_ = "libssh could not take the connection";
    return false;
  }
  fd_ = fd;
  ssh_set_blocking(session_, 0);
  serverCallbacks_.userdata = this;
  serverCallbacks_.auth_none_function = AuthNone;
  serverCallbacks_.auth_password_function = AuthPassword;
  serverCallbacks_.auth_pubkey_function = AuthKey;
  serverCallbacks_.channel_open_request_session_function = OpenSession;
  ssh_callbacks_init(&serverCallbacks_);
  ssh_set_server_callbacks(session_, &serverCallbacks_);
  ssh_set_message_callback(session_, Message, this);
  ssh_set_auth_methods(session_, SSH_AUTH_METHOD_NONE | SSH_AUTH_METHOD_PASSWORD |
                                     SSH_AUTH_METHOD_PUBLICKEY | SSH_AUTH_METHOD_INTERACTIVE);
  event_ = ssh_event_new();
  Service(nowNs_);
  return state_ != State::Closed;
}

// libssh's own flag for this (SSH_WRITE_PENDING) stays set after every
// write until a poll sees the socket writable; a flush with no time to wait
// tells exactly whether bytes are left, and hands them over if it can.
bool Connection::Flush() {
  const bool open = state_ == State::Open || state_ == State::Finishing;
  pending_ = session_ != nullptr && open && ssh_blocking_flush(session_, 0) == SSH_AGAIN;
  return pending_;
}

void Connection::Service(int64_t nowNs) {
  nowNs_ = nowNs;
  if (state_ == State::Closed) return;
  if (state_ == State::Handshake) {
    const int rc = ssh_handle_key_exchange(session_);
    if (rc == SSH_AGAIN) return;
    if (rc != SSH_OK || event_ == nullptr || ssh_event_add_session(event_, session_) != SSH_OK) {
      Drop(std::string("handshake failed: ") + ssh_get_error(session_), false);
      return;
    }
    state_ = State::Open;
  }
  ssh_event_dopoll(event_, 0);
  Flush();
  if ((ssh_get_status(session_) & (SSH_CLOSED | SSH_CLOSED_ERROR)) != 0 ||
      !ssh_is_connected(session_)) {
    if (viewer_ != nullptr) viewer_->Stop(Viewer::End::Gone);
    Drop(viewer_ != nullptr ? "" : "closed before the show", false);
    return;
  }
  if (state_ == State::Finishing && remoteClosed_ && !wantsWrite()) Drop("", false);
}

void Connection::Pump(int64_t nowNs) {
  nowNs_ = nowNs;
  if (state_ != State::Open || viewer_ == nullptr || channel_ == nullptr) return;
  for (;;) {
    if (Flush()) return;  // the socket is full: frames wait (or skip)
    const Viewer::Chunk chunk = viewer_->Next(nowNs);
    if (chunk.bytes.empty()) {
      progressNs_ = nowNs;
      break;
    }
    const uint32_t window = ssh_channel_window_size(channel_);
    const auto room = static_cast<uint32_t>(std::min<size_t>(window, chunk.bytes.size()));
    int written = 0;
    if (room > 0) {
      written = chunk.toStderr ? ssh_channel_write_stderr(channel_, chunk.bytes.data(), room)
                               : ssh_channel_write(channel_, chunk.bytes.data(), room);
    }
    viewer_->Took(written > 0 ? static_cast<size_t>(written) : 0);
    if (written > 0) progressNs_ = nowNs;  // a slow reader still reads
    if (written < 0) {
      viewer_->Stop(Viewer::End::Gone);
      break;
    }
    if (static_cast<size_t>(written) < chunk.bytes.size()) return;  // the window is full
  }
  if (viewer_->done()) Finish(nowNs);
}

void Connection::Finish(int64_t nowNs) {
  const Viewer::End end = viewer_->end();
  if (end == Viewer::End::Gone || end == Viewer::End::Stalled) {
    Drop("", false);
    return;
  }
  ssh_channel_request_send_exit_status(channel_, viewer_->exitStatus());
  ssh_channel_send_eof(channel_);
  ssh_channel_close(channel_);
  state_ = State::Finishing;
  closingSinceNs_ = nowNs;
}

void Connection::CheckTimers(int64_t nowNs) {
  nowNs_ = nowNs;
  switch (state_) {
    case State::Handshake:
    case State::Open:
      if (inHandshake() && nowNs - acceptedNs_ > HandshakeNs) {
        Drop("the handshake took over 10 s", true);
      } else if (!inHandshake() && nowNs - progressNs_ > StallNs) {
        viewer_->Stop(Viewer::End::Stalled);
        Drop("", false);
      }
      break;
    case State::Finishing:
      if (nowNs - closingSinceNs_ > ClosingNs) Drop("", false);
      break;
    case State::Closed:
      break;
  }
}

void Connection::Stop(int64_t nowNs) {
  nowNs_ = nowNs;
  if (state_ == State::Closed || state_ == State::Finishing) return;
  if (inHandshake()) {
    Drop("the server is stopping", true);
    return;
  }
  viewer_->Stop(Viewer::End::Stopping);
  Pump(nowNs);
}

void Connection::Drop(const std::string& why, bool tellClient) {
  if (state_ == State::Closed) return;
  if (dropped_.empty()) dropped_ = why;
  if (tellClient && !why.empty()) {
    DisconnectWith(session_, "cellshow: " + why);
  } else {
    ssh_silent_disconnect(session_);
  }
  state_ = State::Closed;
}

std::string Connection::LogLine(int64_t nowNs) const {
  char line[512];
  if (viewer_ == nullptr || !viewer_->started() || viewer_->startNs() == 0) {
    std::snprintf(line, sizeof line, "cellshow: %s left before any show: %s", address_.c_str(),
                  !dropped_.empty()                          ? dropped_.c_str()
                  : viewer_ != nullptr && viewer_->started() ? Viewer::Describe(viewer_->end())
                                                             : "closed");
    return line;
  }
  const double seconds =
      static_cast<double>(std::max<int64_t>(0, nowNs - viewer_->startNs())) / 1e9;
  std::snprintf(
      line, sizeof line,
      "cellshow: viewer %s %s %dx%d watched %.1f s, sent %llu bytes, %llu frames "
      "(%llu skipped), ended: %s",
      address_.c_str(), viewer_->term().c_str(), viewer_->size().columns, viewer_->size().rows,
      seconds, static_cast<unsigned long long>(viewer_->bytesSent()),
      static_cast<unsigned long long>(viewer_->framesSent()),
      static_cast<unsigned long long>(viewer_->framesSkipped()), Viewer::Describe(viewer_->end()));
  return line;
}

// Anyone may watch: every authentication succeeds, whatever it carries.
int Connection::AuthNone(ssh_session, const char*, void*) { return SSH_AUTH_SUCCESS; }
int Connection::AuthPassword(ssh_session, const char*, const char*, void*) {
  return SSH_AUTH_SUCCESS;
}
int Connection::AuthKey(ssh_session, const char*, ssh_key, char, void*) { return SSH_AUTH_SUCCESS; }

// What the callbacks above do not take: keyboard-interactive succeeds too;
// anything else (other channel types, global requests such as forwardings)
// gets libssh's default answer, a refusal.
int Connection::Message(ssh_session, ssh_message message, void*) {
  if (ssh_message_type(message) == SSH_REQUEST_AUTH &&
      ssh_message_subtype(message) == SSH_AUTH_METHOD_INTERACTIVE) {
    ssh_message_auth_reply_success(message, 0);
    return 0;
  }
  return 1;
}

ssh_channel Connection::OpenSession(ssh_session session, void* userdata) {
  Connection* self = Self(userdata);
  if (self->channel_ != nullptr) return nullptr;  // one show per connection
  self->channel_ = ssh_channel_new(session);
  if (self->channel_ == nullptr) return nullptr;
  ssh_channel_callbacks_struct& cb = self->channelCallbacks_;
  cb.userdata = self;
  cb.channel_data_function = Data;
  cb.channel_close_function = Closed;
  cb.channel_pty_request_function = PtyRequest;
  cb.channel_shell_request_function = ShellRequest;
  cb.channel_exec_request_function = ExecRequest;
  cb.channel_env_request_function = EnvRequest;
  cb.channel_subsystem_request_function = SubsystemRequest;
  cb.channel_pty_window_change_function = WindowChange;
  ssh_callbacks_init(&cb);
  ssh_set_channel_callbacks(self->channel_, &cb);
  self->viewer_ = std::make_unique<Viewer>(self->viewers_);
  return self->channel_;
}

int Connection::Data(ssh_session, ssh_channel, void*, uint32_t length, int, void* userdata) {
  Self(userdata)->viewer_->Typed(length);
  return static_cast<int>(length);
}

void Connection::Closed(ssh_session, ssh_channel, void* userdata) {
  Connection* self = Self(userdata);
  self->remoteClosed_ = true;
  if (!self->viewer_->done()) self->viewer_->Stop(Viewer::End::Gone);
}

int Connection::PtyRequest(ssh_session, ssh_channel, const char* term, int columns, int rows, int,
                           int, void* userdata) {
  return Self(userdata)->viewer_->Pty(term != nullptr ? term : "", columns, rows) ? 0 : -1;
}

int Connection::ShellRequest(ssh_session, ssh_channel, void* userdata) {
  Connection* self = Self(userdata);
  // The show's tick 0 is the next point of the server's tick grid, so its
  // frames fall due when the loop wakes.
  const int64_t since = self->nowNs_ - self->tickOriginNs_;
  const int64_t start = self->tickOriginNs_ + (since / ShowTickNs + 1) * ShowTickNs;
  return self->viewer_->Shell(start) ? 0 : 1;
}

int Connection::ExecRequest(ssh_session, ssh_channel, const char* command, void* userdata) {
  return Self(userdata)->viewer_->Exec(command != nullptr ? command : "", 0) ? 0 : 1;
}

int Connection::EnvRequest(ssh_session, ssh_channel, const char* name, const char* value,
                           void* userdata) {
  if (name == nullptr || value == nullptr) return 1;
  return Self(userdata)->viewer_->Env(name, value) ? 0 : 1;
}

int Connection::SubsystemRequest(ssh_session, ssh_channel, const char*, void*) { return 1; }

int Connection::WindowChange(ssh_session, ssh_channel, int columns, int rows, int, int,
                             void* userdata) {
  Self(userdata)->viewer_->WindowChange(columns, rows);
  return 0;
}

int Refuse(ssh_bind bind, int fd, const std::string& reason) {
  // libssh closes its descriptor at the disconnect; a second one keeps the
  // socket, so that what the client sent can be read before the close.
  const int linger = dup(fd);
  ssh_session session = ssh_new();
  if (session == nullptr || ssh_bind_accept_fd(bind, session, fd) != SSH_OK) {
    if (session != nullptr) ssh_free(session);
    close(fd);
    if (linger >= 0) close(linger);
    return -1;
  }
  ssh_set_blocking(session, 0);
  ssh_handle_key_exchange(session);  // queues the version line, and writes it if it can
  DisconnectWith(session, reason);
  ssh_free(session);
  if (linger >= 0) shutdown(linger, SHUT_WR);
  return linger;
}

}  // namespace cellshow
