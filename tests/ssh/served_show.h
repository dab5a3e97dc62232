#pragma once
// The real program serving the show on a loopback port the system picks,
// with a host key of its own in a temporary folder, for the tests that
// connect to it with OpenSSH's client and with clients of their own. What it
// writes to stderr (the port, one line per viewer) is kept in a file the
// tests read.
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace cellshow::test {

class ServedShow {
 public:
  // `arguments` after --serve and --host-key; `address` is what --serve gets
  // before ":0".
  explicit ServedShow(const std::vector<std::string>& arguments = {},
                      const std::string& address = "127.0.0.1");
  ~ServedShow();  // kills it if it still runs
  ServedShow(const ServedShow&) = delete;
  ServedShow& operator=(const ServedShow&) = delete;

  // It listens: the port is known.
  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  const TempDir& folder() const { return folder_; }

  // What it wrote to stderr so far.
  std::string Log() const;
  // Waits until `text` appears `count` times in its stderr; false after
  // timeoutMs.
  bool WaitForLog(const std::string& text, int timeoutMs, int count = 1) const;
  // Whether it still runs.
  bool Running();
  // Sends `sig` and waits up to timeoutMs for it to end; its exit code, or
  // -1 when it did not end (or ended by a signal).
  int Stop(int sig, int timeoutMs);

  // An OpenSSH client command line to it, for sh: `options`, then no host
  // key check, no configuration files, batch mode (no questions), errors
  // only (an option given in `options` comes first and wins), then
  // `command` after the host.
  std::string Ssh(const std::string& options, const std::string& command = "") const;

 private:
  TempDir folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  int status_ = -1;
  bool ended_ = false;
};

// How often `text` occurs in `haystack`.
int Count(const std::string& haystack, const std::string& text);

}  // namespace cellshow::test
