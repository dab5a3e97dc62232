#pragma once
// Plays the frames of the two wireframe scenes with the show's own fixed-point
// math, to check that the generated models stay in view.
#include <cstdint>
#include <vector>

#include "math3d/fixed_point.h"
#include "raster/clipped_tracer.h"
#include "shell/assets.h"

namespace cellshow::test {

constexpr int32_t SimViewDistance = 40;

// One frame: the whole-unit vertices, ready for projection.
using ViewFrame = std::vector<Vertex>;

// Moves one vertex with a step matrix, as a wireframe frame does: the model
// keeps the rounded 1024-unit result; the returned copy is in whole units.
inline Vertex MoveVertex(Vertex& v, const Mat4& step) {
  const Vec4 in{{v.x, v.y, v.z, 1024}};
  Vec4 out{};
  VecMatMul(in, step, out);
  v = {RoundToUnits(out.v[0]), RoundToUnits(out.v[1]), RoundToUnits(out.v[2])};
  return {RoundToUnits(v.x), RoundToUnits(v.y), RoundToUnits(v.z)};
}

// Scene 6: 120 frames; model A with SpinA, then model B with SpinB.
inline std::vector<ViewFrame> SimulateSpinScene(std::vector<Vertex> a, std::vector<Vertex> b) {
  Matrices mx;
  ComposeSpinMatrices(mx);
  std::vector<ViewFrame> frames;
  for (int frame = 1; frame <= 120; ++frame) {
    ViewFrame view;
    for (Vertex& v : a) view.push_back(MoveVertex(v, mx.SpinA));
    for (Vertex& v : b) view.push_back(MoveVertex(v, mx.SpinB));
    frames.push_back(view);
  }
  return frames;
}

// Scene 8: 190 frames; SpinC, except frames 131 to 189, which move the model
// with the flight matrix, whose translation grows after every vertex.
inline std::vector<ViewFrame> SimulateFlightScene(std::vector<Vertex> c) {
  Matrices mx;
  ComposeSpinMatrices(mx);
  std::vector<ViewFrame> frames;
  for (int frame = 1; frame <= 190; ++frame) {
    const bool flying = frame >= 131 && frame < 190;
    ViewFrame view;
    for (Vertex& v : c) {
      view.push_back(MoveVertex(v, flying ? mx.FlightMatrix : mx.SpinC));
      if (flying) {
        mx.FlightMatrix.m[13] = WrapAdd(mx.FlightMatrix.m[13], 27);
        mx.FlightMatrix.m[14] = WrapAdd(mx.FlightMatrix.m[14], 3);
      }
    }
    frames.push_back(view);
  }
  return frames;
}

// Projection with no centring: the vanishing point is the top-left cell.
inline int32_t Project(int32_t coordinate, int32_t z) {
  return static_cast<int32_t>(int64_t{coordinate} * SimViewDistance /
                              (int64_t{z} + SimViewDistance));
}

// The cells of the grid that the edge between two whole-unit vertices paints.
// An edge with an end in the viewer's plane paints nothing.
inline std::vector<uint16_t> EdgeCells(const Vertex& p, const Vertex& q) {
  if (p.z + SimViewDistance == 0 || q.z + SimViewDistance == 0) return {};
  Points points;
  TraceClippedLine(points, Project(q.x, q.z), Project(q.y, q.z), Project(p.x, p.z),
                   Project(p.y, p.z));
  std::vector<uint16_t> cells;
  for (uint32_t i = 0; points.PointList[i] != LineEnd; ++i) cells.push_back(points.PointList[i]);
  return cells;
}

}  // namespace cellshow::test
