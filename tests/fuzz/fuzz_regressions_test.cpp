// Every fuzz target on its seeds (fuzz/corpus/NAME) and on every input that
// once made it crash (fuzz/regressions/NAME), through the entry point the
// fuzzer calls: what fuzzing found stays mended in every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_targets.h"

namespace cellshow::fuzz {
namespace {

namespace fs = std::filesystem;

class FuzzRegressions : public testing::TestWithParam<Target> {};

TEST_P(FuzzRegressions, SeedsAndKeptCrashesRunClean) {
  const Target& target = GetParam();
  int seeds = 0;
  for (const char* folder : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(CELLSHOW_FUZZ_DIR) / folder / target.name;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(dir)) {
      SCOPED_TRACE(file.path().string());
      std::ifstream in(file.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0);
      seeds += folder[0] == 'c';
    }
  }
  EXPECT_GT(seeds, 0) << "every target keeps seeds in fuzz/corpus/" << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, testing::ValuesIn(Targets),
                         [](const testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace cellshow::fuzz
