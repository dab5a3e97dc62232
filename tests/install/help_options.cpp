#include "help_options.h"

#include <regex>
#include <sstream>

#include "support/shell_run.h"

namespace cellshow::test {

std::vector<HelpOption> HelpOptions(const std::string& program) {
  const ShellRun help = RunShell(ShellQuote(program) + " --help");
  std::vector<HelpOption> options;
  if (help.status != 0) return options;
  // An option line starts with two spaces, maybe a short form, then the long
  // name and what it takes: "=MODE" or "=a|b|c", " WORD", or nothing before
  // the text.
  static const std::regex line(R"(^  (?:-\w, )?(--[a-z][a-z0-9-]*)(=\S|\s[A-Z]+\b)?)");
  std::istringstream lines(help.out);
  std::string text;
  while (std::getline(lines, text)) {
    std::smatch m;
    if (!std::regex_search(text, m, line)) continue;
    const std::string value = m[2].str();
    options.push_back(
        {m[1].str(), !value.empty() && value[0] == '=', !value.empty() && value[0] != '='});
  }
  return options;
}

}  // namespace cellshow::test
