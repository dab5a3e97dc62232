#pragma once
// Runs a shell command and keeps what it wrote: for tests of whole programs
// and of the files installed with them.
#include <string>

namespace cellshow::test {

struct ShellRun {
  int status = -1;  // the exit code; -1 when it did not exit
  std::string out, err;
};

// Runs `command` with sh, standard input from /dev/null.
ShellRun RunShell(const std::string& command);

// Single-quotes a word for sh.
std::string ShellQuote(const std::string& word);

}  // namespace cellshow::test
