#include "support/shell_run.h"

#include <vector>

#include "support/temp_dir.h"

namespace cellshow::test {

ShellRun RunShell(const std::string& command) {
  const TempDir capture;
  const std::string out = (capture.path() / "out").string();
  const std::string err = (capture.path() / "err").string();
  ShellRun run;
  run.status = RunCommand("( " + command + " ) >'" + out + "' 2>'" + err + "' </dev/null");
  const std::vector<uint8_t> o = ReadBytes(out), e = ReadBytes(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace cellshow::test
