#include "engine/dxf/dxf_utils.h"

#include <cmath>

#include "engine/base/numbers.h"

namespace pelindra {

Point3D make_point(double x, double y, double z) { return {x, y, z}; }

bool points_equal(const Point3D& a, const Point3D& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

Point3D vec_sub(const Point3D& a, const Point3D& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Point3D vec_add(const Point3D& a, const Point3D& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Point3D normalize(const Point3D& v) {
  const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  // A zero (or unusable) vector would give NaN coordinates that poison every
  // matrix built from it; files that write an extrusion of (0, 0, 0) mean the
  // default.
  if (!(len > 0) || !std::isfinite(len)) return wcs_z_axis;
  return {v.x / len, v.y / len, v.z / len};
}

double dist2d_sq(const Point3D& a, const Point3D& b) {
  const double dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

double dist2d(const Point3D& a, const Point3D& b) { return std::sqrt(dist2d_sq(a, b)); }

Point3D cross_product(const Point3D& a, const Point3D& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void max_point(Point3D& acc, const Point3D& p) {
  if (p.x > acc.x) acc.x = p.x;
  if (p.y > acc.y) acc.y = p.y;
  if (p.z > acc.z) acc.z = p.z;
}

void min_point(Point3D& acc, const Point3D& p) {
  if (p.x < acc.x) acc.x = p.x;
  if (p.y < acc.y) acc.y = p.y;
  if (p.z < acc.z) acc.z = p.z;
}

double min_double(double a, double b) { return a < b ? a : b; }

std::unique_ptr<Point3D[]> alloc_points(std::size_t n) { return std::make_unique<Point3D[]>(n); }

void free_points(std::unique_ptr<Point3D[]>& ref) { ref.reset(); }

std::unique_ptr<Matrix> alloc_matrix() { return std::make_unique<Matrix>(); }

void free_matrix(std::unique_ptr<Matrix>& ref) { ref.reset(); }

Matrix rotate_z_matrix(double c, double s) {
  Matrix r = identity_matrix;
  r.m[0][0] = c;
  r.m[0][1] = -s;
  r.m[1][0] = s;
  r.m[1][1] = c;
  return r;
}

Matrix scale_matrix(const Point3D& v) {
  Matrix r = identity_matrix;
  r.m[0][0] = v.x;
  r.m[1][1] = v.y;
  r.m[2][2] = v.z;
  return r;
}

Matrix translate_matrix(const Point3D& p) {
  Matrix r = identity_matrix;
  r.m[3][0] = p.x;
  r.m[3][1] = p.y;
  r.m[3][2] = p.z;
  return r;
}

Matrix axes_matrix(const Point3D& ax, const Point3D& ay, const Point3D& az) {
  Matrix r = identity_matrix;
  const Point3D* rows[3] = {&ax, &ay, &az};
  for (int i = 0; i < 3; ++i) {
    r.m[i][0] = rows[i]->x;
    r.m[i][1] = rows[i]->y;
    r.m[i][2] = rows[i]->z;
  }
  return r;
}

Matrix matrix_multiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  return r;
}

std::optional<Matrix> combine_transforms(const Matrix* a, const Matrix* b) {
  if (!a && !b) return std::nullopt;
  if (!a) return *b;
  if (!b) return *a;
  return matrix_multiply(*a, *b);
}

Point3D transform_point(const Matrix& m, const Point3D& p) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

void ocs_axes(const Point3D& n, Point3D& ax, Point3D& ay) {
  constexpr double limit = 1.0 / 64;
  const Point3D helper = (std::fabs(n.x) < limit && std::fabs(n.y) < limit) ? wcs_y_axis : wcs_z_axis;
  ax = normalize(cross_product(helper, n));
  ay = normalize(cross_product(n, ax));
}

Matrix ocs_matrix(const Point3D& n) {
  Point3D ax, ay;
  ocs_axes(n, ax, ay);
  return axes_matrix(ax, ay, n);
}

std::string float_to_str(double v) { return formatFloat(v, FloatFormat::Fixed, 7, 3); }

std::string point_to_str(const Point3D& p) {
  auto c = [](double v) { return formatFloat(v, FloatFormat::Fixed, 7, 2); };
  return "(" + c(p.x) + ", " + c(p.y) + ", " + c(p.z) + ")";
}

std::string bool_to_str(bool b) { return b ? "TRUE" : "FALSE"; }

}  // namespace pelindra
