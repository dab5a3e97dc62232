#include "support/ssh_load.h"

#include <libssh/libssh.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace cellshow::bench {
namespace {

constexpr char SyncBegin[] = "\x1b[?2026h";
constexpr char Restore[] = "\x1b[0m\x1b[?2026l\x1b[?25h\x1b[?1049l";

struct Viewer {
  int index = 0;
  ssh_session session = nullptr;
  ssh_channel channel = nullptr;
  std::string carry;  // the stream's last bytes, for markers cut between reads
  std::string tail;   // its last bytes as long as the restore sequence
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One viewer connected, logged in, with a pty and its show started; nullptr
// on failure (with `error` set).
Viewer* Connect(const LoadSettings& s, int index, ssh_key key, std::string& error) {
  ssh_session session = ssh_new();
  const std::string source = "127.0." + std::to_string(1 + index / s.perAddress / 250) + "." +
                             std::to_string(2 + index / s.perAddress % 250);
  const long timeout = 60;
  ssh_options_set(session, SSH_OPTIONS_HOST, "127.0.0.1");
  ssh_options_set(session, SSH_OPTIONS_PORT, &s.port);
  ssh_options_set(session, SSH_OPTIONS_BINDADDR, source.c_str());
  ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &timeout);
  ssh_options_set(session, SSH_OPTIONS_USER, key != nullptr ? "root" : "viewer");
  ssh_options_set(session, SSH_OPTIONS_CIPHERS_C_S, s.cipher.c_str());
  ssh_options_set(session, SSH_OPTIONS_CIPHERS_S_C, s.cipher.c_str());
  ssh_options_set(session, SSH_OPTIONS_PROCESS_CONFIG, "no");
  ssh_channel channel = nullptr;
  const bool ok =
      ssh_connect(session) == SSH_OK &&
      (key != nullptr ? ssh_userauth_publickey(session, nullptr, key)
                      : ssh_userauth_none(session, nullptr)) == SSH_AUTH_SUCCESS &&
      (channel = ssh_channel_new(session)) != nullptr &&
      ssh_channel_open_session(channel) == SSH_OK &&
      ssh_channel_request_env(channel, "LANG", "C.UTF-8") == SSH_OK &&
      ssh_channel_request_pty_size(channel, s.term.c_str(), s.columns, s.rows) == SSH_OK &&
      ssh_channel_request_shell(channel) == SSH_OK;
  if (!ok) {
    error = "viewer " + std::to_string(index) + ": " + ssh_get_error(session);
    if (channel != nullptr) ssh_channel_free(channel);
    ssh_disconnect(session);
    ssh_free(session);
    return nullptr;
  }
  ssh_set_blocking(session, 0);
  auto* viewer = new Viewer;
  viewer->index = index;
  viewer->session = session;
  viewer->channel = channel;
  return viewer;
}

// Reads all that has come for `v`; true once its show has ended.
bool Drain(Viewer& v, ViewerResult& result, char* buffer, size_t size) {
  bool failed = false;
  for (;;) {
    const int n = ssh_channel_read_nonblocking(v.channel, buffer, static_cast<uint32_t>(size), 0);
    if (n < 0) failed = true;
    if (n <= 0) break;
    result.bytes += static_cast<uint64_t>(n);
    // Markers cut between two reads are found with the carried bytes, fewer
    // than a marker's, so that none is counted twice.
    const std::string_view data(buffer, static_cast<size_t>(n));
    const std::string joined = v.carry + std::string(data);
    for (size_t at = joined.find(SyncBegin); at != std::string::npos;
         at = joined.find(SyncBegin, at + 1))
      ++result.frames;
    v.carry = joined.substr(joined.size() - std::min(joined.size(), sizeof SyncBegin - 2));
    v.tail += data.substr(data.size() - std::min(data.size(), sizeof Restore - 1));
    v.tail.erase(0, v.tail.size() - std::min(v.tail.size(), sizeof Restore - 1));
    result.restored = v.tail == Restore;
  }
  // Ended at the end of the data once the exit status has come (it may come
  // after the data), or when the channel or the connection is gone.
  if (!ssh_channel_is_eof(v.channel) && !failed && !ssh_channel_is_closed(v.channel) &&
      ssh_is_connected(v.session))
    return false;
  result.exitStatus = ssh_channel_get_exit_status(v.channel);
  if (result.exitStatus == -1 && !failed && !ssh_channel_is_closed(v.channel) &&
      ssh_is_connected(v.session))
    return false;
  result.ended = true;
  return true;
}

}  // namespace

LoadClient::LoadClient(const LoadSettings& settings)
    : settings_(settings), results_(static_cast<size_t>(settings.viewers)) {}

void LoadClient::Run(double timeoutSeconds, void (*allConnected)(void*), void* context) {
  ssh_init();
  const auto start = std::chrono::steady_clock::now();
  ssh_key key = nullptr;
  if (!settings_.keyPath.empty() && ssh_pki_import_privkey_file(settings_.keyPath.c_str(), nullptr,
                                                                nullptr, nullptr, &key) != SSH_OK) {
    error_ = "cannot read " + settings_.keyPath;
    return;
  }
  std::mutex handOver;
  std::vector<Viewer*> arrived;
  std::atomic<bool> connecting{true};
  // A few connect at once: each handshake waits on the server in turn.
  constexpr int Connectors = 4;
  std::atomic<int> nextViewer{0}, connectorsLeft{Connectors};
  auto connect = [&] {
    for (int i; (i = nextViewer++) < settings_.viewers && Since(start) < timeoutSeconds;) {
      std::string error;
      Viewer* v = Connect(settings_, i, key, error);
      std::lock_guard<std::mutex> lock(handOver);
      if (v == nullptr) {
        if (error_.empty()) error_ = error;
        continue;
      }
      results_[static_cast<size_t>(i)].connected = true;
      arrived.push_back(v);
    }
    if (--connectorsLeft > 0) return;
    connectedAt_ = Since(start);
    if (allConnected != nullptr) allConnected(context);
    connecting = false;
  };
  std::vector<std::thread> connectors;
  for (int i = 0; i < Connectors; ++i) connectors.emplace_back(connect);

  // epoll, not poll: a thousand descriptors looked at on every wake would
  // weigh the client more than its viewers do.
  const int epoll = epoll_create1(EPOLL_CLOEXEC);
  std::vector<Viewer*> viewers(static_cast<size_t>(settings_.viewers), nullptr);
  std::vector<epoll_event> events(256);
  std::vector<char> buffer(1 << 16);
  int open = 0;
  while (Since(start) < timeoutSeconds) {
    {
      std::lock_guard<std::mutex> lock(handOver);
      for (Viewer* v : arrived) {
        viewers[static_cast<size_t>(v->index)] = v;
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.u32 = static_cast<uint32_t>(v->index);
        epoll_ctl(epoll, EPOLL_CTL_ADD, ssh_get_fd(v->session), &e);
        ++open;
      }
      arrived.clear();
    }
    if (open == 0 && !connecting) break;
    const int n = epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 5);
    for (int i = 0; i < n; ++i) {
      Viewer*& v = viewers[events[i].data.u32];
      if (v == nullptr) continue;
      if (!Drain(*v, results_[static_cast<size_t>(v->index)], buffer.data(), buffer.size()))
        continue;
      epoll_ctl(epoll, EPOLL_CTL_DEL, ssh_get_fd(v->session), nullptr);
      ssh_channel_close(v->channel);
      ssh_channel_free(v->channel);
      ssh_disconnect(v->session);
      ssh_free(v->session);
      delete v;
      v = nullptr;
      --open;
    }
  }
  close(epoll);
  endedAt_ = Since(start);
  for (std::thread& t : connectors) t.join();
  for (Viewer* v : viewers) {
    if (v == nullptr) continue;
    ssh_channel_free(v->channel);
    ssh_free(v->session);
    delete v;
  }
  for (Viewer* v : arrived) {
    ssh_channel_free(v->channel);
    ssh_free(v->session);
    delete v;
  }
  if (key != nullptr) ssh_key_free(key);
}

}  // namespace cellshow::bench
