#include "show_data.h"
namespace cellshow::datagen {
std::vector<int16_t> MakeMusic() { return std::vector<int16_t>(44100 * 2); }
}  // namespace cellshow::datagen
