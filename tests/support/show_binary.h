#pragma once
// The program the whole-program tests run: this build's, or another build's
// named by CELLSHOW_TEST_BINARY (to see a test fail against an older one).
#include <cstdlib>
#include <string>

namespace cellshow::test {

inline std::string ShowBinary() {
  const char* other = std::getenv("CELLSHOW_TEST_BINARY");
  return other != nullptr && *other != '\0' ? other : CELLSHOW_BINARY;
}

}  // namespace cellshow::test
