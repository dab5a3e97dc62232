#pragma once
// Runs the data generator program and reads back what it wrote.
#include <string>

namespace cellshow::test {

struct ProgramRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs cellshow-data with `arguments` (already quoted for the shell).
ProgramRun RunDataTool(const std::string& arguments);

// The folder that the program made on the first call in this process.
const std::string& GeneratedFolder();

}  // namespace cellshow::test
