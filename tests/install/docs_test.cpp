// The manual page and the bash completion against the program's own --help:
// every option it lists is documented and completed, every value the
// completion offers is one the program takes, and values that name files or
// folders complete to those. When an option is added, these tests name what
// the manual page or the completion still lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "help_options.h"
#include "support/shell_run.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::HelpOption;
using test::RunShell;
using test::ShellQuote;
using test::ShellRun;
using test::TempDir;

const std::string Completion = std::string(CELLSHOW_SOURCE_DIR) + "/packaging/cellshow.bash";
const std::string DataTool = std::string(CELLSHOW_BUILD_DIR) + "/cellshow-data";
const std::string DataCompletion =
    std::string(CELLSHOW_SOURCE_DIR) + "/packaging/cellshow-data.bash";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What the completion offers for a command line whose last word is being
// typed, run in `folder`. The words are as bash splits them (by default '='
// is a word of its own).
std::vector<std::string> Complete(const std::vector<std::string>& words,
                                  const std::string& folder = "/",
                                  const std::string& script = Completion,
                                  const std::string& function = "_cellshow") {
  std::string array;
  for (const std::string& w : words) array += " " + ShellQuote(w);
  const ShellRun run =
      RunShell("cd " + ShellQuote(folder) + " && bash --norc --noprofile -c " +
               ShellQuote("source " + ShellQuote(script) + " && COMP_WORDS=(" + array +
                          ") && COMP_CWORD=" + std::to_string(words.size() - 1) + " && " +
                          function + "; printf '%s\\n' \"${COMPREPLY[@]}\""));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> offered = Lines(run.out);
  std::erase(offered, "");
  std::sort(offered.begin(), offered.end());
  return offered;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(ManPage, DocumentsEveryOptionThatHelpLists) {
  for (const auto& [program, page, least] :
       {std::tuple<std::string, std::string, size_t>{CELLSHOW_BINARY, "cellshow", 8},
        {DataTool, "cellshow-data", 4}}) {
    SCOPED_TRACE(page);
    const std::vector<HelpOption> options = test::HelpOptions(program);
    ASSERT_GE(options.size(), least) << "could not read the options from --help";
    // Rendered as a reader sees it, on lines wide enough that nothing wraps.
    const ShellRun man =
        RunShell("groff -man -Tutf8 -P-cbou -rLL=250n " +
                 ShellQuote(std::string(CELLSHOW_BUILD_DIR) + "/docs/" + page + ".1"));
    ASSERT_EQ(man.status, 0) << man.err;
    const std::vector<std::string> lines = Lines(man.out);
    for (const HelpOption& option : options) {
      // An entry of its own in a list: the option at the start of a line,
      // maybe after its short form, followed by its value or the line's end.
      const std::regex entry("^ +(-[a-zA-Z], )?" + option.name + "([= ]|$)");
      const bool documented = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        return std::regex_search(l, entry);
      });
      EXPECT_TRUE(documented) << "docs/" << page << ".1.scd has no entry for " << option.name;
    }
    // No markup is left for the reader: scdoc underlines only whole words,
    // so "128+_n_" would show its underscores.
    const std::regex markup("(^|[^A-Za-z0-9])_[^_ ]+_");
    for (const std::string& line : lines) {
      EXPECT_FALSE(std::regex_search(line, markup)) << "literal underscores: " << line;
    }
  }
}

// cellshow-data: the subcommands first, convert's options and --fit's
// values (each one the program takes), folders after check.
TEST(BashCompletion, CompletesTheDataToolsSubcommandsAndOptions) {
  const std::vector<HelpOption> options = test::HelpOptions(DataTool);
  ASSERT_GE(options.size(), 4u);
  auto complete = [&](const std::vector<std::string>& words, const std::string& folder = "/") {
    return Complete(words, folder, DataCompletion, "_cellshow_data");
  };
  const std::vector<std::string> offered = complete({"cellshow-data", "convert", "-"});
  for (const HelpOption& option : options) {
    const std::string expected = option.name + (option.valueAfterEquals ? "=" : "");
    EXPECT_TRUE(Has(offered, expected))
        << "packaging/cellshow-data.bash does not offer " << expected;
  }
  EXPECT_TRUE(Has(complete({"cellshow-data", "co"}), "convert"));
  EXPECT_TRUE(Has(complete({"cellshow-data", "ch"}), "check"));
  const std::vector<std::string> fits = complete({"cellshow-data", "convert", "--fit", "="});
  EXPECT_EQ(fits, (std::vector<std::string>{"contain", "cover", "stretch"}));
  for (const std::string& fit : fits) {
    EXPECT_EQ(
        RunShell(ShellQuote(DataTool) + " convert --fit=" + fit + " --help >/dev/null").status, 0);
  }
  EXPECT_EQ(RunShell(ShellQuote(DataTool) + " convert --fit=zoom --help 2>/dev/null").status, 2);
  const TempDir dir;
  dir.Write("mine/img.txt", {1});
  dir.Write("cat.gif", {1});
  const std::string here = dir.path().string();
  EXPECT_EQ(complete({"cellshow-data", "check", ""}, here), std::vector<std::string>{"mine"});
  EXPECT_EQ(complete({"cellshow-data", "convert", "c"}, here), std::vector<std::string>{"cat.gif"});
  EXPECT_EQ(complete({"cellshow-data", "convert", "cat.gif", "mine/"}, here),
            std::vector<std::string>{"mine/img.txt"});
}

TEST(BashCompletion, OffersEveryOptionThatHelpLists) {
  const std::vector<HelpOption> options = test::HelpOptions(CELLSHOW_BINARY);
  ASSERT_GE(options.size(), 8u);
  const std::vector<std::string> offered = Complete({"cellshow", ""});
  for (const HelpOption& option : options) {
    const std::string expected = option.name + (option.valueAfterEquals ? "=" : "");
    EXPECT_TRUE(Has(offered, expected)) << "packaging/cellshow.bash does not offer " << expected;
  }
  // Offers narrow down as the word is typed; a word that is not an option's
  // start gets nothing.
  EXPECT_EQ(Complete({"cellshow", "--mu"}), std::vector<std::string>{"--mute"});
  EXPECT_TRUE(Complete({"cellshow", "--nothing"}).empty());
}

// For each option listed as "--name=VALUE": the completion offers values in
// every way bash can split the word, and the program takes each of them; it
// refuses a value that is not offered, so the check can fail.
TEST(BashCompletion, OffersOnlyValuesTheProgramTakes) {
  int fixedValueOptions = 0;
  for (const HelpOption& option : test::HelpOptions(CELLSHOW_BINARY)) {
    if (!option.valueAfterEquals) continue;
    SCOPED_TRACE(option.name);
    ++fixedValueOptions;
    const std::vector<std::string> values = Complete({"cellshow", option.name, "="});
    ASSERT_FALSE(values.empty()) << "packaging/cellshow.bash offers no values";
    for (const std::string& value : values) {
      const ShellRun run = RunShell(ShellQuote(CELLSHOW_BINARY) + " " + option.name + "=" + value +
                                    " --help >/dev/null");
      EXPECT_EQ(run.status, 0) << option.name << "=" << value << " is refused: " << run.err;
      // Typed in part, split at '=' or not, and given as the next argument.
      const std::string start = value.substr(0, 1);
      EXPECT_TRUE(Has(Complete({"cellshow", option.name, "=", start}), value)) << value;
      EXPECT_TRUE(Has(Complete({"cellshow", option.name + "=" + start}), option.name + "=" + value))
          << value;
      EXPECT_TRUE(Has(Complete({"cellshow", option.name, start}), value)) << value;
    }
    const ShellRun bogus =
        RunShell(ShellQuote(CELLSHOW_BINARY) + " " + option.name + "=no-such-value --help");
    EXPECT_EQ(bogus.status, 2);
  }
  EXPECT_GE(fixedValueOptions, 1);
}

// Folders after --data; files and folders after the options that write a
// file; nothing after one that takes a number.
TEST(BashCompletion, CompletesFoldersAndFilesWhereTheOptionsTakeThem) {
  const TempDir dir;
  dir.Write("shows/one.bin", {1});
  dir.Write("show.bin", {1});
  const std::string here = dir.path().string();
  const std::vector<std::string> folder{"shows"};
  const std::vector<std::string> both{"show.bin", "shows"};
  EXPECT_EQ(Complete({"cellshow", "--data", "sh"}, here), folder);
  EXPECT_EQ(Complete({"cellshow", "--data", "=", "sh"}, here), folder);
  EXPECT_EQ(Complete({"cellshow", "--data=sh"}, here), std::vector<std::string>{"--data=shows"});
  EXPECT_EQ(Complete({"cellshow", "--mute", "--record", "sh"}, here), both);
  EXPECT_EQ(Complete({"cellshow", "--record", "shows/"}, here),
            std::vector<std::string>{"shows/one.bin"});
  for (const HelpOption& option : test::HelpOptions(CELLSHOW_BINARY)) {
    if (option.name == "--export") {
      EXPECT_EQ(Complete({"cellshow", "--export", "sh"}, here), both);
    }
  }
  EXPECT_TRUE(Complete({"cellshow", "--key-after", ""}, here).empty());
}

}  // namespace
}  // namespace cellshow
