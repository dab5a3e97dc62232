#include "generated_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace cellshow::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "cellshow-data-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ProgramRun RunDataTool(const std::string& arguments) {
  TempFolder capture;
  const std::string out = capture.path() + "/out", err = capture.path() + "/err";
  const std::string command = std::string("'") + CELLSHOW_DATA_TOOL + "' " + arguments + " >'" +
                              out + "' 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  ProgramRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::vector<uint8_t> o = ReadWholeFile(out), e = ReadWholeFile(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

const std::string& GeneratedFolder() {
  static const std::unique_ptr<TempFolder> folder = [] {
    auto f = std::make_unique<TempFolder>();
    // Two folder levels that do not exist yet: the program makes both.
    const ProgramRun run = RunDataTool("'" + f->path() + "/made/data'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return f;
  }();
  static const std::string data = folder->path() + "/made/data";
  return data;
}

}  // namespace cellshow::test
