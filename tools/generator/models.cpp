// The three wireframe models. The show turns each model about a fixed pivot
// by about 10 degrees per frame and keeps the result, so a model is laid out
// in the pose it should have on a chosen frame and then turned back by that
// many steps: the table holds the pose before the first step.
//
// Scene 6 turns model A about the vertical axis through (0, 0, 10), which is
// the left edge of the screen, so model A orbits it and shows while it is on
// the right of the axis; model B turns about the vertical axis through
// (65, 0, 0) and spins in place on the right. Scene 8 turns model C about
// the horizontal axis through (0, 60, 10), at the foot of the screen, so it
// rolls over and over like a wheel; on frame 131 it flies off, so it is laid
// out to stand upright at the top of its orbit on frame 130. Each is a solid
// in outline (a tetrahedron, a pyramid, a prism), so its turning shows it in
// depth.
//
// A unit is a cell across and a cell down; a cell is taller than it is wide,
// so the shapes are a little flatter in units than they look.
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

// A triangle's corners about a centre, at 90, 210 and 330 degrees from
// the first axis of their plane: cos and sin times 1024.
constexpr int32_t ThirdsCos[3] = {0, -887, 887};
constexpr int32_t ThirdsSin[3] = {1024, -512, -512};

// Model A: a tetrahedron, apex up, with five of its six edges (the back edge
// of its base left out), seen square on when it is furthest right of its
// axis; orbiting the axis turns it about itself, so each side comes round.
constexpr int ModelAFaceOnFrame = 7;

// Model C: a triangular prism lying along x, its ridge up at the top of its
// orbit on frame 130, just before the fly-off. Its triangle reaches within
// 6 units of the pivot, so some of it is in sight most of the way round.
constexpr int ModelCUprightFrame = 130;

}  // namespace

std::vector<Vertex> MakeModelA() {
  // Centre (26, 18, 10): apex 7 units up, base 4 down, the base's corners
  // 12 units out in x and z, the first straight behind the centre.
  constexpr int32_t CentreX = 26, CentreY = 18, Depth = 10, Radius = 12;
  const Vertex apex = Point(CentreX, CentreY - 7, Depth);
  Vertex b[3];
  for (int k = 0; k < 3; ++k)
    b[k] = {CentreX * One + Radius * ThirdsCos[k], (CentreY + 4) * One,
            Depth * One + Radius * ThirdsSin[k]};
  // The edge left out, b[0] to b[1], is at the back on the face-on frame.
  std::vector<Vertex> model = {apex, b[0], apex, b[1], apex, b[2], b[1], b[2], b[2], b[0]};
  for (Vertex& v : model) TurnBack(v.x, v.z, 0, 10 * One, TurnPlus, ModelAFaceOnFrame);
  return model;
}

std::vector<Vertex> MakeModelB() {
  // A three-legged pyramid on the spin axis x = 65: the apex stays put at
  // the top and the feet swing round it, never nearer than 7 units, which
  // keeps them on the screen when they pass in front; one base edge joins
  // two of the feet.
  constexpr int32_t Axis = 65, Radius = 7;
  const Vertex apex = Point(Axis, 11, 0);
  Vertex f[3];
  for (int k = 0; k < 3; ++k)
    f[k] = {Axis * One + Radius * ThirdsCos[k], 37 * One, Radius * ThirdsSin[k]};
  return {apex, f[0], apex, f[1], apex, f[2], f[1], f[2]};
}

std::vector<Vertex> MakeModelC() {
  // The triangle's centre 18 units above the pivot (y = 42, z = 10), its
  // corners 12 units from it: the ridge at y = 30, the base corners at
  // y = 48, 10.4 units either side in z. The prism runs from x = 22 to 58,
  // centred on column 40 at this depth. The ridge comes first and a base
  // corner last.
  constexpr int32_t Left = 22, Right = 58;
  const int32_t ys[3] = {30 * One, 48 * One, 48 * One};
  const int32_t zs[3] = {10 * One, 10 * One - 12 * 887, 10 * One + 12 * 887};
  auto at = [&](int32_t x, int k) { return Vertex{x * One, ys[k], zs[k]}; };
  std::vector<Vertex> model = {at(Left, 0),  at(Right, 0),  // the ridge
                               at(Left, 0),  at(Left, 1),  at(Left, 1),  at(Left, 2),
                               at(Left, 2),  at(Left, 0),  // left end
                               at(Right, 0), at(Right, 1), at(Right, 1), at(Right, 2),
                               at(Right, 2), at(Right, 0),  // right end
                               at(Left, 1),  at(Right, 1), at(Left, 2),  at(Right, 2)};  // the base
  for (Vertex& v : model) TurnBack(v.y, v.z, 60 * One, 10 * One, TurnPlus, ModelCUprightFrame);
  return model;
}

}  // namespace cellshow::datagen
