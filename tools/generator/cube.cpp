// bl.img: a solid gold cube, lit from the upper left, spinning and bobbing
// over a turning, zooming checkerboard on which it casts its shadow, drawn as
// pictures. It turns a corner towards the viewer, so three faces are in
// sight; each is shaded by the light it takes (so they are of clearly
// different brightness, and the edges show where they meet) and a little
// darker towards its bottom. Its motions repeat every 137 frames,
// the frames the show displays, so the runs that follow each other at the
// end of the show join up.
#include <algorithm>
#include <vector>

#include "picture.h"

namespace cellshow::datagen {
namespace {

constexpr int CubePeriod = BlFrameCount - 1;  // frames shown per run

int32_t LoopAngle(int f, int period) {
  return static_cast<int32_t>(int64_t{f} * FullTurn / period);
}

struct Point3 {
  int64_t x, y, z;  // 1/65536 units
};

// Turns about the x, y and z axes; angles in 1/65536 of a turn.
Point3 TurnX(const Point3& p, int32_t a) {
  return {p.x, (p.y * Cos(a) - p.z * Sin(a)) >> 16, (p.y * Sin(a) + p.z * Cos(a)) >> 16};
}
Point3 TurnY(const Point3& p, int32_t a) {
  return {(p.x * Cos(a) - p.z * Sin(a)) >> 16, p.y, (p.x * Sin(a) + p.z * Cos(a)) >> 16};
}
Point3 TurnZ(const Point3& p, int32_t a) {
  return {(p.x * Cos(a) - p.y * Sin(a)) >> 16, (p.x * Sin(a) + p.y * Cos(a)) >> 16, p.z};
}

// The cube's pose: a corner towards the viewer (turned 45 degrees about y,
// then 35.26 about x, so the diagonal through that corner points at the
// viewer), spun about that diagonal, and the diagonal itself swung round a
// cone of 12 degrees. All three faces about the near corner stay in sight.
struct Pose {
  int32_t spin, swingX, swingY;
};
constexpr int32_t CornerYaw = FullTurn / 8, CornerPitch = 6420, Swing = FullTurn * 12 / 360;

Point3 Place(const Point3& p, const Pose& pose) {
  const Point3 corner = TurnX(TurnY(p, CornerYaw), CornerPitch);
  return TurnY(TurnX(TurnZ(corner, pose.spin), pose.swingX), pose.swingY);
}

constexpr uint8_t BoardColours[] = {Black, Blue};
constexpr Ramp BoardRamp{BoardColours, 2};
constexpr uint8_t Gold[] = {Black, Red, Brown, Yellow, White};
constexpr Ramp GoldRamp{Gold, 5};

// The board: squares of 64 pixels across at rest, turning one way round per
// run while it zooms between 0.6 and 1.4 and drifts in a figure of eight.
// Where the cube's shadow falls (marked in `shadow`), the blue squares are
// half as bright.
void DrawBoard(int f, const Picture& shadow, Picture& picture) {
  const int32_t phase = LoopAngle(f, CubePeriod);
  const int64_t zoom = Unit + MulSin(Unit * 2 / 5, phase);
  const int64_t driftX = MulCos(96 << 16, phase), driftY = MulSin(96 << 16, 2 * phase);
  const int64_t c = Cos(-phase) * zoom >> 16, s = Sin(-phase) * zoom >> 16;
  for (int y = 0; y < PictureHeight; ++y)
    for (int x = 0; x < PictureWidth; ++x) {
      // Half pixels from the centre, rows counting 6/5 (a pixel's height).
      const int64_t dx = 2 * x + 1 - PictureWidth, dy = (2 * y + 1 - PictureHeight) * 6 / 5;
      const int64_t u = (dx * c - dy * s) / 2 + driftX;
      const int64_t v = (dx * s + dy * c) / 2 + driftY;
      const bool dark = (((u >> 22) ^ (v >> 22)) & 1) != 0;
      const int tone = dark ? 0 : shadow.pixels[y][x] != 0 ? ToneStep / 2 : ToneStep;
      picture.Shade(x, y, BoardRamp, tone);
    }
}

struct Face {
  int corners[4];
  Point3 normal;
};

constexpr int64_t S = Unit;  // half the edge
constexpr Point3 Corners[8] = {{-S, -S, -S}, {S, -S, -S}, {S, S, -S}, {-S, S, -S},
                               {-S, -S, S},  {S, -S, S},  {S, S, S},  {-S, S, S}};
constexpr Face Faces[6] = {
    {{0, 1, 2, 3}, {0, 0, -S}}, {{5, 4, 7, 6}, {0, 0, S}},  {{4, 0, 3, 7}, {-S, 0, 0}},
    {{1, 5, 6, 2}, {S, 0, 0}},  {{4, 5, 1, 0}, {0, -S, 0}}, {{3, 2, 6, 7}, {0, S, 0}},
};

// The cube of frame f, projected: corners in 1/256 pixel.
struct CubeView {
  int64_t x[8], y[8], z[8];
  Pose pose;
  int64_t bob;  // pixels, up is negative
};

CubeView ViewCube(int f) {
  const int32_t phase = LoopAngle(f, CubePeriod);
  CubeView v;
  v.pose = {phase, static_cast<int32_t>(MulSin(Swing, phase)),
            static_cast<int32_t>(MulCos(Swing, phase))};
  v.bob = MulSin(24, 2 * phase);
  constexpr int64_t Distance = 9 * Unit / 2, Focal = 50 * 8;
  for (int i = 0; i < 8; ++i) {
    const Point3 p = Place(Corners[i], v.pose);
    v.x[i] = PictureWidth / 2 * 256 + p.x * Focal * 256 / (p.z + Distance);
    v.y[i] = (PictureHeight / 2 + v.bob) * 256 + p.y * Focal * 256 * 5 / 6 / (p.z + Distance);
    v.z[i] = p.z;
  }
  return v;
}

bool FacesViewer(const CubeView& v, const Face& face) {
  const int* k = face.corners;
  return (v.x[k[1]] - v.x[k[0]]) * (v.y[k[2]] - v.y[k[0]]) -
             (v.y[k[1]] - v.y[k[0]]) * (v.x[k[2]] - v.x[k[0]]) >
         0;
}

Polygon FacePolygon(const CubeView& v, const Face& face, int64_t dx, int64_t dy) {
  Polygon p;
  for (int i = 0; i < 4; ++i) {
    p.x[i] = v.x[face.corners[i]] + dx;
    p.y[i] = v.y[face.corners[i]] + dy;
  }
  p.count = 4;
  return p;
}

// The shadow: the cube's outline moved down and to the right, further the
// higher the cube bobs.
void MarkShadow(const CubeView& v, Picture& shadow) {
  shadow.Fill(0);
  const int64_t dx = 72 * 256, dy = (64 - v.bob) * 256;
  for (const Face& face : Faces)
    if (FacesViewer(v, face))
      FillPolygon(FacePolygon(v, face, dx, dy), [&](int x, int y) { shadow.Set(x, y, 1); });
}

void DrawCube(const CubeView& v, Picture& picture) {
  // Light from the upper left, 65 degrees off the line of sight: unit
  // length, in 1/65536.
  const Point3 light{-42000, -42000, -27700};
  for (const Face& face : Faces) {
    if (!FacesViewer(v, face)) continue;
    const Point3 n = Place(face.normal, v.pose);
    // The light's cosine, from -0.35 up, spread over the ramp: faces that
    // turn from the light still differ, and none goes flat black.
    const int64_t lit = std::max<int64_t>(
        ((n.x * light.x + n.y * light.y + n.z * light.z) >> 16) + Unit * 35 / 100, 0);
    const int base = static_cast<int>(GoldRamp.MaxTone() / 16 +
                                      lit * GoldRamp.MaxTone() * 15 / 16 * 100 / 135 / Unit);
    // The face's top and bottom on the picture, for a gentle fall-off
    // from its top (nearer the light) to its bottom.
    int64_t top = v.y[face.corners[0]], bottom = top;
    for (const int k : face.corners) {
      top = std::min(top, v.y[k]);
      bottom = std::max(bottom, v.y[k]);
    }
    const int64_t height = std::max<int64_t>(bottom - top, 256);
    FillPolygon(FacePolygon(v, face, 0, 0), [&](int x, int y) {
      const int tone =
          base + static_cast<int>(((top + bottom) / 2 - y * 256) * (ToneStep / 4) / height);
      picture.Shade(x, y, GoldRamp, tone);
    });
  }
}

}  // namespace

std::vector<Frame> MakeCubeFrames() {
  std::vector<Frame> frames;
  auto picture = std::make_unique<Picture>();
  auto shadow = std::make_unique<Picture>();
  PictureMatcher matcher;
  for (int f = 0; f < BlFrameCount; ++f) {
    if (f == CubePeriod) {  // the frame after the loop is the first again
      frames.push_back(frames.front());
      continue;
    }
    const CubeView view = ViewCube(f);
    MarkShadow(view, *shadow);
    DrawBoard(f, *shadow, *picture);
    DrawCube(view, *picture);
    frames.push_back(matcher.Cells(*picture));
  }
  return frames;
}

}  // namespace cellshow::datagen
