#include "data_tool.h"

#include <vector>

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

CellFile ReadCellFile(const std::string& path) { return CellFile{ReadBytes(path)}; }

std::string BuildDataFolder() { return std::string(CELLSHOW_BUILD_DIR) + "/data"; }

}  // namespace cellshow::test
