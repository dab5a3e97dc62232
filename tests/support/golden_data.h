#pragma once
// The data sets of the whole-show golden runs, made from a small fixed
// generator so that they are the same on every machine. "exact": every file
// as long as the show reads; "short": files that end early or are missing;
// "extreme": longer files and vertex tables over the whole 32-bit range;
// "empty": no files at all.
#include <filesystem>
#include <string>

namespace cellshow::test {

// Writes the data set `name` into `folder` ("empty" writes nothing).
void MakeDataSet(const std::string& name, const std::filesystem::path& folder);

}  // namespace cellshow::test
