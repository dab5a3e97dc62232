#pragma once
// Wireframe models from Wavefront OBJ files: their edges, as the show's
// vertex tables hold them (two vertices to an edge, in 1024-units).
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "shell/assets.h"

namespace cellshow::convert {

struct ObjModel {
  std::vector<std::array<double, 3>> vertices;
  std::vector<std::pair<int, int>> edges;  // each once, whichever way round
};

// Reads `v x y z` vertices, `l` polylines and the edges of `f` faces (the
// closing one included); an index is 1-based, or negative from the end;
// in `7/2/3` only the 7 counts. Other lines are ignored. False with
// `error` set when a line is malformed or an index points nowhere.
bool ReadObj(const std::string& text, ObjModel& model, std::string& error);

// The model as a table of `vertexCount` vertices. OBJ's y points up and z
// toward the viewer; the show's y down and z away, and its units are cells,
// about twice as tall as wide, so y is halved. The model is scaled so that
// its farthest vertex from its centre (the middle of its bounds) is as far
// as `reference`'s from its own, and put at that centre: it turns where
// the default model does, at the same size. An edge the table has no room
// for is an error that says how many there are; a table with room to spare
// is filled with edges of no length at the first vertex, which draw only
// a cell the model draws anyway.
bool ModelTable(const ObjModel& model, const std::vector<Vertex>& reference, int vertexCount,
                std::vector<Vertex>& table, std::string& error);

}  // namespace cellshow::convert
