#include "platform/terminal/terminal_show.h"

#include <cstdio>

namespace cellshow {

int RunTerminalShow(const Options&) {
  std::fputs("cellshow: the terminal backend is not built yet; use --record FILE\n", stderr);
  return 2;
}

}  // namespace cellshow
