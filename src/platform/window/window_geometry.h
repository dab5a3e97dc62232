#pragma once
// Where the 640x400 image goes in a window: pure arithmetic, no SDL.
//
// The image is shown at 4:3, as a VGA monitor showed it: each of its rows is
// 1.2 times as tall as a column is wide. It is first scaled up by whole
// factors with no filtering (every source pixel becomes the same block), then
// filtered linearly to the final size, so that no row or column comes out
// doubled where its neighbours are not.
namespace cellshow {

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(PixelSize, PixelSize) = default;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(PixelRect, PixelRect) = default;
};

// The window's size when it opens: 640x480 times the largest whole factor
// that fits `usable` (the display without panels); on a smaller display, the
// largest 4:3 size that fits it.
PixelSize InitialWindowSize(PixelSize usable);

// The largest window of exactly 4:3 (4k x 3k) that fits `room`: for a window
// whose manager's frame leaves too little room for the whole factor it
// opened with (a 1280x1024 screen keeps a window near 1280x960, not 640x480).
PixelSize LargestFourByThree(PixelSize room);

// The largest 4:3 rectangle that fits `output`, centred (black bars fill the
// rest); empty when the output is.
PixelRect ContentRect(PixelSize output);

// The whole factors of the unfiltered step for `content`: each the largest
// that stays within the content's size along its axis (the linear step then
// enlarges by less than twice, blending only where two rows or columns
// meet), kept within `maxTextureSide`; at least 1.
PixelSize PrescaleFactors(PixelRect content, int maxTextureSide);

}  // namespace cellshow
