#pragma once
// The small 3-D arithmetic shared by the DXF reader, the entity classes and the
// drawing control: points, 4x4 transformation matrices, the object coordinate
// system of an extrusion direction, and the number texts of entity
// descriptions.

#include <memory>
#include <optional>
#include <string>

namespace pelindra {

// A point or a direction vector. Vertex arrays are contiguous arrays of these.
struct Point3D {
  double x = 0;
  double y = 0;
  double z = 0;
};

// Row-major, m[row][col]. Points are row vectors multiplied from the left,
// (x, y, z, 1) x M, so the translation lives in row 3 and column 3 is never
// read. Where a matrix is optional it is passed as a pointer and null means
// the identity.
struct Matrix {
  double m[4][4];
};

inline constexpr Point3D origin{0, 0, 0};
inline constexpr Point3D wcs_y_axis{0, 1, 0};
inline constexpr Point3D wcs_z_axis{0, 0, 1};
inline constexpr Matrix identity_matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

Point3D make_point(double x, double y, double z);
// Exact comparison, no tolerance.
bool points_equal(const Point3D& a, const Point3D& b);
Point3D vec_sub(const Point3D& a, const Point3D& b);
Point3D vec_add(const Point3D& a, const Point3D& b);
// v divided by its length. A zero vector has no direction; it comes back as
// the z axis, the direction every entity has by default.
Point3D normalize(const Point3D& v);
// Distance in the XY plane; z is ignored.
double dist2d(const Point3D& a, const Point3D& b);
double dist2d_sq(const Point3D& a, const Point3D& b);
Point3D cross_product(const Point3D& a, const Point3D& b);
// Raise (lower) each coordinate of acc to p's where p's is greater (smaller).
void max_point(Point3D& acc, const Point3D& p);
void min_point(Point3D& acc, const Point3D& p);
double min_double(double a, double b);

std::unique_ptr<Point3D[]> alloc_points(std::size_t n);
void free_points(std::unique_ptr<Point3D[]>& ref);
std::unique_ptr<Matrix> alloc_matrix();
void free_matrix(std::unique_ptr<Matrix>& ref);

Matrix rotate_z_matrix(double c, double s);
Matrix scale_matrix(const Point3D& v);
Matrix translate_matrix(const Point3D& p);
// Rows 0, 1 and 2 are the three axes.
Matrix axes_matrix(const Point3D& ax, const Point3D& ay, const Point3D& az);
Matrix matrix_multiply(const Matrix& a, const Matrix& b);
// b when a is absent, a when b is absent, otherwise a x b; absent when both are.
std::optional<Matrix> combine_transforms(const Matrix* a, const Matrix* b);
Point3D transform_point(const Matrix& m, const Point3D& p);

// The OCS-to-world matrix of a unit extrusion direction, by the arbitrary-axis
// rule.
Matrix ocs_matrix(const Point3D& n);
// The two OCS axes of that rule, for callers that build their own matrix.
void ocs_axes(const Point3D& n, Point3D& ax, Point3D& ay);

// "1.500"; exponent form for values whose integer part needs more than seven
// digits ("1.234568E+07").
std::string float_to_str(double v);
// "(1.00, 2.50, 0.00)".
std::string point_to_str(const Point3D& p);
std::string bool_to_str(bool b);

}  // namespace pelindra
