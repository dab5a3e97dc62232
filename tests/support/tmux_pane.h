#pragma once
// A detached tmux session on a private server socket, one pane running an
// interactive shell, for end-to-end tests of the real program in a real
// terminal emulator. The pane's TERM is tmux's default ("tmux-256color" from
// tmux 3.3 on, "screen" before: no background colour erase either way); its
// locale is C.UTF-8 and COLORTERM is unset, whatever the test's own
// environment.
#include <string>

namespace cellshow::test {

class TmuxPane {
 public:
  // A pane of columns x rows running `shell` (a command line) with the
  // prompt "$ ".
  TmuxPane(const std::string& socketName, int columns, int rows, const std::string& shell = "sh");
  ~TmuxPane();  // ends the server
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  bool ok() const { return ok_; }
  // Runs `tmux -L <socket> <arguments>` and returns what it printed.
  std::string Tmux(const std::string& arguments) const;
  // Types a line into the pane's shell, then Enter.
  void TypeLine(const std::string& line) const;
  // Sends keys as tmux send-keys -l does (literally).
  void TypeLiteral(const std::string& text) const;
  // A tmux format about the pane, e.g. "#{alternate_on}".
  std::string Format(const std::string& format) const;
  // What the pane shows, trailing blanks kept (with -e: colours as escape
  // sequences, written where they change).
  std::string Capture(bool escapes = false) const;
  // Polls until `format` reads `value`; false after timeoutMs.
  bool WaitForFormat(const std::string& format, const std::string& value, int timeoutMs) const;
  // Polls until the pane's text contains `text`.
  bool WaitForText(const std::string& text, int timeoutMs) const;

 private:
  std::string socket_;
  bool ok_ = false;
};

}  // namespace cellshow::test
