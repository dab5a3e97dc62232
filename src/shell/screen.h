#pragma once
// The 80x50 grid of console cells that every frame is composed in.
#include <cstdint>

namespace cellshow {

constexpr int ScreenWidth = 80;
constexpr int ScreenHeight = 50;
constexpr int ScreenCellCount = ScreenWidth * ScreenHeight;  // 4000

// One console cell: a code page 437 character (0..255) and a console attribute
// byte (low nibble foreground, high nibble background), each in a 16-bit word.
struct Cell {
  uint16_t Char = 0;
  uint16_t Attributes = 0;
};

using ScreenCells = Cell[ScreenCellCount];

// The cells the scenes draw with: character 219 is a full block, 32 a blank;
// attribute 15 is bright white on black, 64 black on red.
constexpr Cell WhiteBlock{219, 15};
constexpr Cell BlackBlock{219, 0};
constexpr Cell RedBlank{32, 64};

// Console geometry: the window, the buffer and the rectangle of every present
// are always exactly the grid.
struct ConsoleCoord {
  int16_t X, Y;
};
struct ConsoleRect {
  int16_t Left, Top, Right, Bottom;
};
constexpr ConsoleCoord ScreenSize{80, 50};
constexpr ConsoleCoord ScreenOrigin{0, 0};
constexpr ConsoleCoord BufferSize{80, 50};
constexpr ConsoleRect WriteRegion{0, 0, 79, 49};

// Every cell becomes character 0 on black. Does not present.
void ClearScreen(ScreenCells& screen);

}  // namespace cellshow
