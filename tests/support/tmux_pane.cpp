#include "support/tmux_pane.h"

#include <stdio.h>
#include <unistd.h>

#include "support/shell_run.h"
#include "support/timing.h"

namespace cellshow::test {
namespace {

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

}  // namespace

TmuxPane::TmuxPane(const std::string& socketName, int columns, int rows, const std::string& shell)
    : socket_(socketName + "-" + std::to_string(getpid())) {
  Tmux("kill-server");
  // The shell names no display: the program's output stays the terminal.
  Tmux("-f /dev/null new-session -d -s show -x " + std::to_string(columns) + " -y " +
       std::to_string(rows) + " " +
       ShellQuote("env -u DISPLAY -u WAYLAND_DISPLAY PS1='$ ' " + shell));
  Tmux("set-option -g status off");
  Tmux("set-option -g remain-on-exit on");
  Tmux("resize-window -x " + std::to_string(columns) + " -y " + std::to_string(rows));
  ok_ = WaitForText("$", 5000);
}

TmuxPane::~TmuxPane() { Tmux("kill-server"); }

std::string TmuxPane::Tmux(const std::string& arguments) const {
  // The first command starts the server, whose environment the pane gets.
  return Run("env -u COLORTERM TERM=xterm-256color LC_ALL=C.UTF-8 tmux -L " + ShellQuote(socket_) +
             " " + arguments + " 2>/dev/null");
}

void TmuxPane::TypeLine(const std::string& line) const {
  Tmux("send-keys -t show -l " + ShellQuote(line));
  Tmux("send-keys -t show Enter");
}

void TmuxPane::TypeLiteral(const std::string& text) const {
  Tmux("send-keys -t show -l " + ShellQuote(text));
}

std::string TmuxPane::Format(const std::string& format) const {
  return Trimmed(Tmux("display-message -p -t show " + ShellQuote(format)));
}

std::string TmuxPane::Capture(bool escapes) const {
  return Tmux(std::string("capture-pane -p -N ") + (escapes ? "-e " : "") + "-t show");
}

bool TmuxPane::WaitForFormat(const std::string& format, const std::string& value,
                             int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    if (Format(format) == value) return true;
    SleepMs(20);
  }
  return false;
}

bool TmuxPane::WaitForText(const std::string& text, int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    if (Capture().find(text) != std::string::npos) return true;
    SleepMs(20);
  }
  return false;
}

}  // namespace cellshow::test
