#include "generated_folder.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/temp_dir.h"

namespace cellshow::test {

ProgramRun RunDataTool(const std::string& arguments) {
  const TempDir capture;
  const std::string out = (capture.path() / "out").string();
  const std::string err = (capture.path() / "err").string();
  ProgramRun run;
  run.exitCode = RunCommand(std::string("'") + CELLSHOW_DATA_TOOL + "' " + arguments + " >'" + out +
                            "' 2>'" + err + "' </dev/null");
  const std::vector<uint8_t> o = ReadBytes(out), e = ReadBytes(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

const std::string& GeneratedFolder() {
  static const std::unique_ptr<TempDir> folder = [] {
    auto f = std::make_unique<TempDir>();
    // Two folder levels that do not exist yet: the program makes both.
    const ProgramRun run = RunDataTool("'" + (f->path() / "made/data").string() + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return f;
  }();
  static const std::string data = (folder->path() / "made/data").string();
  return data;
}

}  // namespace cellshow::test
