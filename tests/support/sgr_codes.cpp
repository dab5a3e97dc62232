#include "support/sgr_codes.h"

namespace cellshow::test {

std::vector<int> SgrCodes(const std::string& bytes) {
  std::vector<int> codes;
  for (size_t i = bytes.find("\x1b["); i != std::string::npos; i = bytes.find("\x1b[", i + 1)) {
    size_t end = i + 2;
    while (end < bytes.size() && (bytes[end] == ';' || (bytes[end] >= '0' && bytes[end] <= '9')))
      ++end;
    if (end >= bytes.size() || bytes[end] != 'm') continue;
    std::vector<int> parameters;
    int code = 0;
    for (size_t k = i + 2; k <= end; ++k) {
      if (bytes[k] == ';' || bytes[k] == 'm') {
        parameters.push_back(code);
        code = 0;
      } else {
        code = code * 10 + (bytes[k] - '0');
      }
    }
    for (size_t k = 0; k < parameters.size(); ++k) {
      const int p = parameters[k];
      if ((p == 38 || p == 48) && k + 1 < parameters.size()) {
        const int kind = parameters[k + 1];
        codes.push_back(p * 10 + kind);
        k += kind == 5 ? 2 : kind == 2 ? 4 : 1;
        continue;
      }
      codes.push_back(p);
    }
  }
  return codes;
}

}  // namespace cellshow::test
