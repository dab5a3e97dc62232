// One fuzzer: libFuzzer's entry calls the target this executable was built
// for (CELLSHOW_FUZZ_ENTRY, one of fuzz_targets.h).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return cellshow::fuzz::CELLSHOW_FUZZ_ENTRY(data, size);
}
