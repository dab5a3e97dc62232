#pragma once
// Runs a program on a fresh pseudo-terminal, as a shell would: its own
// session, the pty as its controlling terminal and standard streams. The test
// side holds the master (what a terminal emulator reads and types into) and
// keeps a slave descriptor to look at the modes. The program finds a known
// terminal whatever the test's own environment: TERM=xterm-256color,
// LC_ALL=C.UTF-8 and no COLORTERM, unless the setup says otherwise.
#include <sys/types.h>
#include <termios.h>

#include <string>
#include <utility>
#include <vector>

namespace cellshow::test {

class PtyChild {
 public:
  struct Setup {
    std::vector<std::string> args;  // after the program name
    int columns = 80;
    int rows = 50;
    const termios* modes = nullptr;  // the modes the program finds (default: the pty's)
    bool ignoreHangup = false;       // start with SIGHUP ignored, as under nohup
    std::string workingDirectory;    // empty: the test's
    // Set (or with nullptr, unset) after the defaults above.
    std::vector<std::pair<std::string, const char*>> environment;
    // Typed before the program starts: it waits in the terminal's input.
    std::string typeahead;
  };

  PtyChild(const std::string& program, const Setup& setup);
  ~PtyChild();  // kills the program if it still runs
  PtyChild(const PtyChild&) = delete;
  PtyChild& operator=(const PtyChild&) = delete;

  pid_t pid() const { return pid_; }
  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& output() const { return output_; }

  // Reads what the program writes for `ms` milliseconds.
  void ReadFor(int ms);
  // Reads until `needle` has appeared at or after `from`; false on timeout.
  bool ReadUntil(const std::string& needle, int timeoutMs, size_t from = 0);
  // Reads at about bytesPerSecond until the program has ended or timeoutMs.
  bool ReadSlowlyUntilExit(int bytesPerSecond, int timeoutMs);
  // The bytes waiting in the terminal's input, not read by anyone.
  int PendingInput() const;
  // Reads until the program ends (or stops, with `stopped`); false on timeout.
  bool WaitExit(int timeoutMs);
  bool WaitStopped(int timeoutMs);
  // Its wait status once ended.
  int status() const { return status_; }
  bool exited() const { return ended_; }

  void Type(const std::string& bytes);
  void Signal(int sig);
  void Resize(int columns, int rows);
  // The terminal goes away: the master closes (and the test's slave with it).
  void Hangup();
  termios Modes() const;

 private:
  bool ReadOnce(int timeoutMs, size_t limit);
  bool Reap(int options);

  pid_t pid_ = -1;
  int master_ = -1;
  int slave_ = -1;
  std::string output_;
  int status_ = 0;
  bool ended_ = false;
};

// Two termios values are the same settings.
bool SameModes(const termios& a, const termios& b);

}  // namespace cellshow::test
