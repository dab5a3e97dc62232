#pragma once
// The SGR codes in a terminal's byte stream, for tests that check which
// colour sequences an encoder used.
#include <string>
#include <vector>

namespace cellshow::test {

// Extended colours among SgrCodes: 38;5;n and 48;5;n, 38;2;r;g;b and
// 48;2;r;g;b, their arguments left out.
constexpr int IndexedForeground = 385, IndexedBackground = 485;
constexpr int DirectForeground = 382, DirectBackground = 482;

// The SGR parameters of every CSI ... m sequence in `bytes`, extended
// colours as one code each (above).
std::vector<int> SgrCodes(const std::string& bytes);

}  // namespace cellshow::test
