#pragma once
// Runs the data generator program.
#include <string>

namespace cellshow::test {

struct ProgramRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs cellshow-data with `arguments` (already quoted for the shell).
ProgramRun RunDataTool(const std::string& arguments);

// The folder of default data that the build made with the same program.
std::string BuildDataFolder();

}  // namespace cellshow::test
