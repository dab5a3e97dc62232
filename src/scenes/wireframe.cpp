#include "scenes/wireframe.h"

#include <cstdint>

#include "raster/clipped_tracer.h"
#include "show/show.h"

namespace cellshow {
namespace {

constexpr int32_t SpinDrawPhase = 3;
constexpr int32_t FlightDrawPhase = 2;
constexpr int32_t SpinFrames = 120;
constexpr int32_t FlightFrames = 190;
constexpr int32_t FlyOffFrame = 131;
constexpr int32_t FlightStepY = 27;  // 1024-units per moved vertex
constexpr int32_t FlightStepZ = 3;

// Moves one vertex with the step matrix, keeps the result in the model and a
// whole-unit copy for projection.
void MoveVertex(Show& show, Vertex& vertex, const Mat4& step, Vertex& view) {
  Matrices& mx = show.matrices;
  mx.VecIn = {{vertex.x, vertex.y, vertex.z, 1024}};
  VecMatMul(mx.VecIn, step, mx.VecOut);
  int32_t* model[3] = {&vertex.x, &vertex.y, &vertex.z};
  int32_t* whole[3] = {&view.x, &view.y, &view.z};
  for (int c = 0; c < 3; ++c) {
    *model[c] = RoundToUnits(mx.VecOut.v[c]);
    *whole[c] = RoundToUnits(*model[c]);
  }
}

// Projects every view vertex and traces the edge of each pair. A vertex in
// the viewer's plane (z + 40 = 0) has no projection: the edges that touch it
// are left out of this frame.
void ProjectAndTrace(Show& show) {
  Wireframes& w = show.wire;
  bool heldVisible = false;
  for (const Vertex& v : w.ViewVertices) {
    const int32_t depth = WrapAdd(v.z, ViewDistance);
    const bool visible = depth != 0;
    if (visible) {
      w.ProjX = ProjectAxis(v.x, depth);
      w.ProjY = ProjectAxis(v.y, depth);
    }
    if (w.EndpointToggle == 0) {
      w.HeldX = w.ProjX;
      w.HeldY = w.ProjY;
      heldVisible = visible;
      w.EndpointToggle = 1;
    } else {
      if (visible && heldVisible) TraceClippedLine(show.points, w.ProjX, w.ProjY, w.HeldX, w.HeldY);
      w.EndpointToggle = 0;
    }
  }
}

void PaintPresentAndEmpty(Show& show) {
  WalkPointList(show.points, [&](uint16_t k) {
    if (k < ScreenCellCount) show.Screen[k] = WhiteBlock;
  });
  PresentScreen(show);
  ResetPointList(show.points);
}

// Clears the screen and counts the frame; the scene's last frame asks for
// the next script entry. Returns whether this is the last frame.
bool BeginFrame(Show& show, int32_t lastFrame) {
  Sequencer& seq = show.seq;
  ClearScreen(show.Screen);
  const bool last = ++seq.FrameCount == lastFrame;
  if (last) {
    seq.AdvancePending = 1;
    seq.FrameCount = 0;
  }
  seq.TickPhase = 0;
  return last;
}

void DrawSpinFrame(Show& show) {
  Assets& a = show.assets;
  BeginFrame(show, SpinFrames);
  Vertex* view = show.wire.ViewVertices;
  for (int i = 0; i < ModelAVertices; ++i)
    MoveVertex(show, a.ModelA[i], show.matrices.SpinA, view[i]);
  for (int i = 0; i < ModelBVertices; ++i)
    MoveVertex(show, a.ModelB[i], show.matrices.SpinB, view[ModelAVertices + i]);
  ProjectAndTrace(show);
  PaintPresentAndEmpty(show);
}

void DrawFlightFrame(Show& show) {
  Wireframes& w = show.wire;
  Matrices& mx = show.matrices;
  if (BeginFrame(show, FlightFrames))
    w.FlyOff = 0;
  else if (show.seq.FrameCount == FlyOffFrame)
    w.FlyOff = 1;
  for (int i = 0; i < ModelCVertices; ++i) {
    if (w.FlyOff == 0) {
      MoveVertex(show, show.assets.ModelC[i], mx.SpinC, w.ViewVertices[i]);
    } else {
      // The flight translation grows after every vertex, so the model
      // stretches as it flies.
      MoveVertex(show, show.assets.ModelC[i], mx.FlightMatrix, w.ViewVertices[i]);
      mx.FlightMatrix.m[13] = WrapAdd(mx.FlightMatrix.m[13], FlightStepY);
      mx.FlightMatrix.m[14] = WrapAdd(mx.FlightMatrix.m[14], FlightStepZ);
    }
  }
  ProjectAndTrace(show);
  PaintPresentAndEmpty(show);
}

}  // namespace

int32_t ProjectAxis(int32_t coordinate, int32_t depth) {
  const int32_t numerator = WrapMul(coordinate, ViewDistance);
  if (depth == -1) return static_cast<int32_t>(0u - static_cast<uint32_t>(numerator));
  return numerator / depth;
}

void SpinScene(Show& show) {
  if (show.seq.TickPhase == SpinDrawPhase) DrawSpinFrame(show);
  ++show.seq.TickPhase;
}

void FlightScene(Show& show) {
  if (show.seq.TickPhase == FlightDrawPhase) DrawFlightFrame(show);
  ++show.seq.TickPhase;
}

}  // namespace cellshow
