#include "show/show.h"
namespace cellshow {
void PlasmaScene(Show&) {}
void ImgScene(Show&) {}
void HitScene(Show&) {}
void BlScene(Show&) {}
void BurstScene(Show&) {}
void SpinScene(Show&) {}
void FlightScene(Show&) {}
}  // namespace cellshow
