#include <gtest/gtest.h>

#include "engine/dxf/dxf_utils.h"

namespace pelindra {
namespace {

void expect_point(const Point3D& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x, 1e-12);
  EXPECT_NEAR(p.y, y, 1e-12);
  EXPECT_NEAR(p.z, z, 1e-12);
}

TEST(Geometry, VectorOperations) {
  expect_point(normalize({0, 0, 2}), 0, 0, 1);
  expect_point(normalize({3, 4, 0}), 0.6, 0.8, 0);
  // A zero extrusion in a file means the default one.
  expect_point(normalize({0, 0, 0}), 0, 0, 1);
  EXPECT_EQ(dist2d({0, 0, 5}, {3, 4, -7}), 5);
  EXPECT_EQ(dist2d_sq({0, 0, 5}, {3, 4, -7}), 25);
  expect_point(cross_product({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
  Point3D hi{0, 0, 0}, lo{0, 0, 0};
  max_point(hi, {1, -1, 2});
  min_point(lo, {1, -1, 2});
  expect_point(hi, 1, 0, 2);
  expect_point(lo, 0, -1, 0);
}

TEST(Geometry, OcsMatrixFollowsTheArbitraryAxisRule) {
  struct Case {
    Point3D n, ax, ay;
  };
  const Case cases[] = {
      {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      // Just inside the 1/64 threshold the helper axis is y; at it, z.
      {{0.0156, 0, 0.99987831}, normalize(cross_product({0, 1, 0}, {0.0156, 0, 0.99987831})), {}},
      {{0.015625, 0, 0.99987793}, normalize(cross_product({0, 0, 1}, {0.015625, 0, 0.99987793})), {}},
  };
  for (const Case& c : cases) {
    const Matrix m = ocs_matrix(c.n);
    expect_point({m.m[0][0], m.m[0][1], m.m[0][2]}, c.ax.x, c.ax.y, c.ax.z);
    if (c.ay.x || c.ay.y || c.ay.z) expect_point({m.m[1][0], m.m[1][1], m.m[1][2]}, c.ay.x, c.ay.y, c.ay.z);
    expect_point({m.m[2][0], m.m[2][1], m.m[2][2]}, c.n.x, c.n.y, c.n.z);
  }
}

TEST(Geometry, MatricesTransformRowVectors) {
  EXPECT_FALSE(combine_transforms(nullptr, nullptr));
  const Matrix t = translate_matrix({10, 20, 30});
  const Matrix r = rotate_z_matrix(0, 1);  // cos, sin of 90 degrees
  EXPECT_EQ(combine_transforms(&t, nullptr)->m[3][0], 10);
  EXPECT_EQ(combine_transforms(nullptr, &r)->m[0][1], -1);
  // Rotation first, then the translation.
  const Matrix rt = *combine_transforms(&r, &t);
  expect_point(transform_point(rt, {1, 0, 0}), 10, 19, 30);
  const Matrix s = scale_matrix({2, 3, 4});
  expect_point(transform_point(matrix_multiply(s, t), {1, 1, 1}), 12, 23, 34);
}

TEST(Geometry, DescriptionNumbers) {
  EXPECT_EQ(float_to_str(1.5), "1.500");
  EXPECT_EQ(float_to_str(-0.0004), "0.000");
  EXPECT_EQ(float_to_str(1234567), "1234567.000");
  EXPECT_EQ(float_to_str(12345678), "1.234568E+07");
  EXPECT_EQ(point_to_str({1, 2.5, 0}), "(1.00, 2.50, 0.00)");
  EXPECT_EQ(bool_to_str(true), "TRUE");
  EXPECT_EQ(bool_to_str(false), "FALSE");
}

}  // namespace
}  // namespace pelindra
