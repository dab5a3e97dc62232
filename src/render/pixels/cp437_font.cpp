#include "render/pixels/cp437_font.h"

#include <bit>

namespace cellshow {

int GlyphCoverage(uint8_t code) {
  int set = 0;
  for (uint8_t row : Cp437Font[code]) set += std::popcount(row);
  return set;
}

}  // namespace cellshow
