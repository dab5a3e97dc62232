#include "obj_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

namespace cellshow::convert {
namespace {

// The vertex index a face or line element names, 0-based; -1 if it names
// none.
int IndexOf(const std::string& element, int count) {
  const std::string first = element.substr(0, element.find('/'));
  char* end = nullptr;
  const long n = std::strtol(first.c_str(), &end, 10);
  if (first.empty() || *end != '\0') return -1;
  const long index = n > 0 ? n - 1 : count + n;
  return index >= 0 && index < count ? static_cast<int>(index) : -1;
}

struct Bounds {
  double centre[3], radius;
};
template <typename Point>
Bounds BoundsOf(const std::vector<Point>& points, double (*get)(const Point&, int)) {
  Bounds b{};
  for (int axis = 0; axis < 3; ++axis) {
    double lo = get(points[0], axis), hi = lo;
    for (const Point& p : points) lo = std::min(lo, get(p, axis)), hi = std::max(hi, get(p, axis));
    b.centre[axis] = (lo + hi) / 2;
  }
  for (const Point& p : points) {
    double d = 0;
    for (int axis = 0; axis < 3; ++axis) d += std::pow(get(p, axis) - b.centre[axis], 2);
    b.radius = std::max(b.radius, std::sqrt(d));
  }
  return b;
}

}  // namespace

bool ReadObj(const std::string& text, ObjModel& model, std::string& error) {
  std::istringstream lines(text);
  std::set<std::pair<int, int>> seen;
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    const std::string where = "line " + std::to_string(number);
    if (kind == "v") {
      std::array<double, 3> v{};
      if (!(words >> v[0] >> v[1] >> v[2]) || !std::isfinite(v[0] + v[1] + v[2])) {
        error = where + " has a vertex without three numbers";
        return false;
      }
      model.vertices.push_back(v);
    } else if (kind == "l" || kind == "f") {
      std::vector<int> indices;
      for (std::string element; words >> element;) {
        const int index = IndexOf(element, static_cast<int>(model.vertices.size()));
        if (index < 0) {
          error = where + " names a vertex '" + element + "' that is not there";
          return false;
        }
        indices.push_back(index);
      }
      if (indices.size() < 2) {
        error = where + " has fewer than two vertices";
        return false;
      }
      const size_t count = kind == "f" && indices.size() > 2 ? indices.size() : indices.size() - 1;
      for (size_t i = 0; i < count; ++i) {
        const int a = indices[i], b = indices[(i + 1) % indices.size()];
        if (seen.insert({std::min(a, b), std::max(a, b)}).second) model.edges.push_back({a, b});
      }
    }
  }
  if (model.edges.empty()) {
    error = "has no edges (no l lines or f faces)";
    return false;
  }
  return true;
}

bool ModelTable(const ObjModel& model, const std::vector<Vertex>& reference, int vertexCount,
                std::vector<Vertex>& table, std::string& error) {
  const int room = vertexCount / 2;
  if (static_cast<int>(model.edges.size()) > room) {
    error = "has " + std::to_string(model.edges.size()) + " edges; the file holds " +
            std::to_string(room);
    return false;
  }
  // In the show's axes and proportions, before scaling.
  std::vector<std::array<double, 3>> points;
  for (const auto& v : model.vertices) points.push_back({v[0], -v[1] / 2, -v[2]});
  const Bounds from = BoundsOf<std::array<double, 3>>(
      points, [](const std::array<double, 3>& p, int axis) { return p[axis]; });
  const Bounds to = BoundsOf<Vertex>(reference, [](const Vertex& v, int axis) {
    return static_cast<double>(axis == 0 ? v.x : axis == 1 ? v.y : v.z);
  });
  const double scale = from.radius > 0 ? to.radius / from.radius : 0;
  auto place = [&](int index) {
    int32_t c[3];
    for (int axis = 0; axis < 3; ++axis)
      c[axis] = static_cast<int32_t>(
          std::lround(to.centre[axis] + (points[index][axis] - from.centre[axis]) * scale));
    return Vertex{c[0], c[1], c[2]};
  };
  table.clear();
  for (const auto& [a, b] : model.edges) {
    table.push_back(place(a));
    table.push_back(place(b));
  }
  while (static_cast<int>(table.size()) < vertexCount) table.push_back(table.front());
  return true;
}

}  // namespace cellshow::convert
