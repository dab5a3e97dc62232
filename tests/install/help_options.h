#pragma once
// The options that the program's --help lists, read from the program itself,
// so the manual page and the completion are held to what it really takes.
#include <string>
#include <vector>

namespace cellshow::test {

struct HelpOption {
  std::string name;          // "--colors"
  bool valueAfterEquals;     // listed as "--colors=MODE" or "--fit=auto|always|never"
  bool valueAsNextArgument;  // listed as "--data DIR"
};

// Runs `program --help` and reads its option lines ("  --data DIR   ...",
// "  -h, --help ..."). Empty when the program fails.
std::vector<HelpOption> HelpOptions(const std::string& program);

}  // namespace cellshow::test
