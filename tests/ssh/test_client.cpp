#include "test_client.h"

#include <chrono>

namespace cellshow::test {

TestClient::TestClient(int port, const std::string& source) {
  session_ = ssh_new();
  if (session_ == nullptr) return;
  const long timeout = 30;  // seconds, for a loaded machine under the sanitizers
  ssh_options_set(session_, SSH_OPTIONS_HOST, "127.0.0.1");
  ssh_options_set(session_, SSH_OPTIONS_PORT, &port);
  ssh_options_set(session_, SSH_OPTIONS_BINDADDR, source.c_str());
  ssh_options_set(session_, SSH_OPTIONS_TIMEOUT, &timeout);
  ssh_options_set(session_, SSH_OPTIONS_USER, "viewer");
  if (ssh_connect(session_) != SSH_OK) {
    refusal_ = ssh_get_error(session_);
    return;
  }
  if (ssh_userauth_none(session_, nullptr) != SSH_AUTH_SUCCESS) return;
  channel_ = ssh_channel_new(session_);
  if (channel_ != nullptr && ssh_channel_open_session(channel_) != SSH_OK) {
    ssh_channel_free(channel_);
    channel_ = nullptr;
  }
}

TestClient::~TestClient() {
  if (channel_ != nullptr) ssh_channel_free(channel_);
  if (session_ != nullptr) {
    ssh_disconnect(session_);
    ssh_free(session_);
  }
}

bool TestClient::Pty(const std::string& term, int columns, int rows) {
  return ok() && ssh_channel_request_pty_size(channel_, term.c_str(), columns, rows) == SSH_OK;
}

bool TestClient::Env(const std::string& name, const std::string& value) {
  return ok() && ssh_channel_request_env(channel_, name.c_str(), value.c_str()) == SSH_OK;
}

bool TestClient::Shell() { return ok() && ssh_channel_request_shell(channel_) == SSH_OK; }

bool TestClient::WindowChange(int columns, int rows) {
  return ok() && ssh_channel_change_pty_size(channel_, columns, rows) == SSH_OK;
}

bool TestClient::Type(const std::string& bytes) {
  return ok() && ssh_channel_write(channel_, bytes.data(), static_cast<uint32_t>(bytes.size())) ==
                     static_cast<int>(bytes.size());
}

std::string TestClient::Read(int timeoutMs) {
  std::string now;
  if (!ok()) return now;
  char buffer[1 << 16];
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end && !closed()) {
    for (int stream : {0, 1}) {
      const int n = ssh_channel_read_timeout(channel_, buffer, sizeof buffer, stream, 10);
      if (n > 0) (stream == 0 ? now : errors_).append(buffer, static_cast<size_t>(n));
    }
  }
  output_ += now;
  return now;
}

bool TestClient::ReadUntil(const std::string& text, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto seen = [&] { return !text.empty() && output_.find(text) != std::string::npos; };
  while (!seen() && !closed() && std::chrono::steady_clock::now() < end) Read(50);
  return text.empty() ? closed() : seen();
}

int TestClient::exitStatus() const { return ok() ? ssh_channel_get_exit_status(channel_) : -1; }

bool TestClient::closed() const {
  return !ok() || ssh_channel_is_eof(channel_) != 0 || ssh_channel_is_closed(channel_) != 0;
}

}  // namespace cellshow::test
