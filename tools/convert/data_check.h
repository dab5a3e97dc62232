#pragma once
// `cellshow-data check DIR`: what each of the ten files holds against what
// the show reads, and what the show does with a file that is missing or
// short.
#include <cstdio>
#include <string>

namespace cellshow::convert {

// One line a file to `out`, then a summary. Returns 0 when all ten are
// complete, 1 otherwise (or when DIR is not a folder, with one line on
// stderr).
int CheckDataFolder(const std::string& dir, std::FILE* out);

}  // namespace cellshow::convert
