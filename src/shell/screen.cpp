#include "shell/screen.h"

namespace cellshow {

void ClearScreen(ScreenCells& screen) {
  for (Cell& cell : screen) cell = Cell{};
}

}  // namespace cellshow
