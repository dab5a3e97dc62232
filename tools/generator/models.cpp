// The three wireframe models. The show turns each model about a fixed pivot
// by about 10 degrees per frame and keeps the result, so a model is laid out
// in the pose it should have on a chosen frame and then turned back by that
// many steps: the table holds the pose before the first step.
//
// Scene 6 turns model A about the vertical axis through (0, 0, 10), which is
// the left edge of the screen, so model A orbits it and shows while it is on
// the right of the axis; model B turns about the vertical axis through
// (65, 0, 0) and spins in place on the right. Scene 8 turns model C about
// the horizontal axis through (0, 60, 10), below the screen, so it rises over
// the horizon like a wheel; on frame 131 it flies off, so it is laid out to
// stand upright at the top of its orbit on frame 130.
//
// A unit is a cell across and a cell down, and a terminal cell is about twice
// as tall as it is wide, so the shapes are drawn about half as tall in units
// as they are wide.
#include <cstdint>

#include "show_data.h"

namespace cellshow::datagen {
namespace {

constexpr int32_t One = 1024;  // 1024-units per whole unit

// One step of the show's rotations in a coordinate plane (a, b), relative to
// the pivot: a' = (c a - s b) / 1024, b' = (s a + c b) / 1024.
struct Step {
  int64_t c, s;
};
constexpr Step TurnPlus{1008, 178};

// Undoes `steps` steps of `turn` about the pivot (pa, pb), in 1024-units. Each
// inverse step is (c a + s b, c b - s a) * 1024 / (c^2 + s^2), worked in
// 2^-20 units so that rounding is far below what the tables keep; the show's
// own rounding then brings the pose back to within a few 1024ths.
void TurnBack(int32_t& a, int32_t& b, int32_t pa, int32_t pb, Step turn, int steps) {
  constexpr int Extra = 10;
  int64_t ra = (int64_t{a} - pa) << Extra;
  int64_t rb = (int64_t{b} - pb) << Extra;
  const int64_t norm = turn.c * turn.c + turn.s * turn.s;
  for (int i = 0; i < steps; ++i) {
    const int64_t na = (turn.c * ra + turn.s * rb) * One;
    const int64_t nb = (turn.c * rb - turn.s * ra) * One;
    ra = (na >= 0 ? na + norm / 2 : na - norm / 2) / norm;
    rb = (nb >= 0 ? nb + norm / 2 : nb - norm / 2) / norm;
  }
  const int64_t half = int64_t{1} << (Extra - 1);
  a = static_cast<int32_t>(pa + ((ra + half) >> Extra));
  b = static_cast<int32_t>(pb + ((rb + half) >> Extra));
}

Vertex Point(int32_t x, int32_t y, int32_t z) { return {x * One, y * One, z * One}; }

// Model A: a five-pointed star drawn as a pentagram, upright, facing the
// viewer when it is furthest right of its axis.
constexpr int ModelAFaceOnFrame = 7;

// Model C: the word FLY, underlined, upright at the top of its orbit.
constexpr int ModelCUprightFrame = 130;

}  // namespace

std::vector<Vertex> MakeModelA() {
  // Star centre (26, 18, 10), outer radius 13 across and 8 down: the points
  // at 90 + 72k degrees.
  constexpr int32_t CentreX = 26, CentreY = 18, Depth = 10, RadiusX = 13, RadiusY = 8;
  // cos and sin of 90, 162, 234, 306 and 18 degrees, times 1024.
  static constexpr int32_t Cos[5] = {0, -974, -602, 602, 974};
  static constexpr int32_t Sin[5] = {1024, 316, -828, -828, 316};
  Vertex points[5];
  for (int k = 0; k < 5; ++k)
    points[k] = {CentreX * One + RadiusX * Cos[k], CentreY * One - RadiusY * Sin[k], Depth * One};
  std::vector<Vertex> model;
  for (int k = 0; k < 5; ++k) {  // pentagram: point k to point k + 2
    model.push_back(points[k]);
    model.push_back(points[(k + 2) % 5]);
  }
  for (Vertex& v : model) TurnBack(v.x, v.z, 0, 10 * One, TurnPlus, ModelAFaceOnFrame);
  return model;
}

std::vector<Vertex> MakeModelB() {
  // A diamond on the spin axis x = 65: its top and bottom stay put and its
  // side corners swing round, never nearer than 6 units, which keeps them
  // on the screen when they pass in front.
  const Vertex top = Point(65, 12, 0), right = Point(71, 25, 0), bottom = Point(65, 38, 0),
               left = Point(59, 25, 0);
  return {top, right, right, bottom, bottom, left, left, top};
}

std::vector<Vertex> MakeModelC() {
  constexpr int32_t Z = 10;
  // Letters 12 units wide and 10 tall (top at y = 24, baseline at 34), 4
  // apart, centred on x = 50, which is column 40 at this depth; the
  // underline at y = 37.
  constexpr int32_t Top = 24, Middle = 29, Base = 34, Under = 37;
  constexpr int32_t Fx = 28, Lx = 44, Yx = 60;
  std::vector<Vertex> model = {
      // F
      Point(Fx, Top, Z), Point(Fx, Base, Z), Point(Fx, Top, Z), Point(Fx + 12, Top, Z),
      Point(Fx, Middle, Z), Point(Fx + 9, Middle, Z),
      // L
      Point(Lx, Top, Z), Point(Lx, Base, Z), Point(Lx, Base, Z), Point(Lx + 12, Base, Z),
      // Y
      Point(Yx, Top, Z), Point(Yx + 6, Middle, Z), Point(Yx + 12, Top, Z), Point(Yx + 6, Middle, Z),
      Point(Yx + 6, Middle, Z), Point(Yx + 6, Base, Z),
      // underline
      Point(Fx, Under, Z), Point(Yx + 12, Under, Z)};
  for (Vertex& v : model) TurnBack(v.y, v.z, 60 * One, 10 * One, TurnPlus, ModelCUprightFrame);
  return model;
}

}  // namespace cellshow::datagen
