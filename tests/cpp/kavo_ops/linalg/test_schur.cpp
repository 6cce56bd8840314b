#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../../support/test_matrices.h"
#include "kavo_ops/linalg/schur/francis_steps.h"
#include "kavo_ops/linalg/schur/schur.h"

namespace kavo_ops {
namespace {

using test_matrices::random_matrix;
using test_matrices::row_major;
using test_matrices::similarity_ratios;
using Complex = std::complex<double>;

// Quasi-triangular with standardized 2×2 blocks and exact zeros elsewhere;
// returns the eigenvalues read from the blocks.
std::vector<Complex> check_quasi_triangular(const double* t, std::size_t n, const std::string& name) {
  std::vector<Complex> values;
  for (std::size_t r = 1; r < n; ++r)
    for (std::size_t c = 0; c + 1 < r; ++c) EXPECT_EQ(t[r * n + c], 0.0) << name << " (" << r << ", " << c << ")";
  for (std::size_t k = 0; k < n;) {
    if (k + 1 < n && t[(k + 1) * n + k] != 0.0) {
      const double a = t[k * n + k], b = t[k * n + k + 1], c = t[(k + 1) * n + k], d = t[(k + 1) * n + k + 1];
      EXPECT_EQ(a, d) << name << " block " << k;
      EXPECT_NE(std::signbit(b), std::signbit(c)) << name << " block " << k;
      if (k + 2 < n) {
        EXPECT_EQ(t[(k + 2) * n + k + 1], 0.0) << name << " adjacent blocks at " << k;
      }
      const double im = std::sqrt(std::fabs(b)) * std::sqrt(std::fabs(c));
      values.insert(values.end(), {Complex(a, im), Complex(a, -im)});
      k += 2;
    } else {
      values.emplace_back(t[k * n + k], 0.0);
      k += 1;
    }
  }
  return values;
}

struct Case {
  std::string name;
  std::size_t n;
  std::vector<double> a;
};

std::vector<Case> hard_cases() {
  std::vector<Case> cases;
  for (std::size_t n : {3, 4, 5, 10, 33, 60}) cases.push_back({"random" + std::to_string(n), n, random_matrix(n, n)});
  {  // graded: entries spanning 1e-15 .. 1
    const std::size_t n = 16;
    auto a = random_matrix(n, 11);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) a[i * n + j] *= std::pow(10.0, -double(i + j) / 2.0);
    cases.push_back({"graded", n, a});
  }
  {  // clustered: I + 1e-8·(random), eigenvalues all near 1
    const std::size_t n = 12;
    auto a = random_matrix(n, 12, 1e-8);
    for (std::size_t i = 0; i < n; ++i) a[i * n + i] += 1.0;
    cases.push_back({"clustered", n, a});
  }
  {  // defective: Jordan blocks of sizes 4 and 3 (eigenvalues 2 and -1) in a random orthogonal-ish basis
    const std::size_t n = 7;
    std::vector<double> j(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) j[i * n + i] = i < 4 ? 2.0 : -1.0;
    for (std::size_t i = 0; i + 1 < n; ++i)
      if (i != 3) j[i * n + i + 1] = 1.0;
    cases.push_back({"jordan", n, j});
    // The same blocks under a similarity by a random unit lower triangular matrix.
    auto l = random_matrix(n, 13, 0.5);
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t c = r; c < n; ++c) l[r * n + c] = r == c ? 1.0 : 0.0;
    std::vector<double> lj(n * n, 0.0), a(n * n, 0.0);
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t p = 0; p < n; ++p)
        for (std::size_t c = 0; c < n; ++c) lj[r * n + c] += l[r * n + p] * j[p * n + c];
    // L^-1 of a unit lower triangular matrix by forward substitution, column by column.
    std::vector<double> linv(n * n, 0.0);
    for (std::size_t c = 0; c < n; ++c)
      for (std::size_t r = 0; r < n; ++r) {
        double x = r == c ? 1.0 : 0.0;
        for (std::size_t p = 0; p < r; ++p) x -= l[r * n + p] * linv[p * n + c];
        linv[r * n + c] = x;
      }
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t p = 0; p < n; ++p)
        for (std::size_t c = 0; c < n; ++c) a[r * n + c] += lj[r * n + p] * linv[p * n + c];
    cases.push_back({"jordan_similar", n, a});
  }
  {  // cyclic permutations: the standard shifts stall, the exceptional ones must break the cycle
    for (std::size_t n : {3, 4, 6}) {
      std::vector<double> p(n * n, 0.0);
      for (std::size_t i = 0; i < n; ++i) p[((i + 1) % n) * n + i] = 1.0;
      cases.push_back({"cyclic" + std::to_string(n), n, p});
    }
  }
  cases.push_back({"zeros", 5, std::vector<double>(25, 0.0)});
  cases.push_back({"near_overflow", 20, random_matrix(20, 14, 1e307)});
  cases.push_back({"near_underflow", 20, random_matrix(20, 15, 1e-305)});
  return cases;
}

TEST(SchurFactors, ResidualsAndStructureOverHardMatrices) {
  for (const auto& c : hard_cases()) {
    auto f = schur_factors(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(f) << c.name << ": " << f.error().display();
    const auto [reconstruction, orthogonality] = similarity_ratios(c.a, f->q.data(), f->t.data(), c.n);
    EXPECT_LT(reconstruction, 30.0L) << c.name;
    EXPECT_LT(orthogonality, 30.0L) << c.name;
    const auto from_t = check_quasi_triangular(f->t.data(), c.n, c.name);

    // The eigenvalue path updates only the active block, so it rounds
    // differently; it must agree with T's blocks to the problem's accuracy.
    auto values = schur_eigenvalues(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(values) << c.name;
    ASSERT_EQ(values->size(), c.n);
    double norm = 0.0;
    for (double x : c.a) norm = std::max(norm, std::fabs(x));
    const bool defective = c.name.starts_with("jordan") || c.name == "clustered";
    const double tolerance = (defective ? 1e-3 : 1e-9) * std::max(norm, std::numeric_limits<double>::min());
    std::vector<bool> used(c.n, false);
    for (const Complex& v : from_t) {
      std::size_t best = c.n;
      for (std::size_t i = 0; i < c.n; ++i)
        if (!used[i] && (best == c.n || std::abs((*values)[i] - v) < std::abs((*values)[best] - v))) best = i;
      ASSERT_LT(best, c.n);
      used[best] = true;
      EXPECT_LE(std::abs((*values)[best] - v), tolerance) << c.name;
    }
  }
}

TEST(SchurFactors, ExactSmallExamples) {
  struct Example {
    std::vector<double> a;
    std::vector<Complex> eigenvalues;
  };
  const std::vector<Example> examples = {
      {{}, {}},
      {{-3.5}, {{-3.5, 0}}},
      {{0, -1, 1, 0}, {{0, 1}, {0, -1}}},
      {{2, 0, 0, 3}, {{2, 0}, {3, 0}}},
      {{1, 2, 3, 0, 4, 5, 0, 0, 6}, {{1, 0}, {4, 0}, {6, 0}}},
  };
  for (const auto& e : examples) {
    const std::size_t n = e.eigenvalues.size();
    auto values = schur_eigenvalues(row_major(e.a, n, n));
    ASSERT_TRUE(values);
    EXPECT_EQ(std::vector<Complex>(values->data(), values->data() + n), e.eigenvalues);
    auto f = schur_factors(row_major(e.a, n, n));
    ASSERT_TRUE(f);
    EXPECT_EQ(std::vector<double>(f->t.data(), f->t.data() + n * n), e.a);  // already in standard form
  }
}

TEST(SchurFactors, TwoByTwoWithRealEigenvaluesBecomesUpperTriangular) {
  const std::vector<double> a = {1, 2, 3, 4};
  auto f = schur_factors(row_major(a, 2, 2));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->t.data()[2], 0.0);
  const auto [reconstruction, orthogonality] = similarity_ratios(a, f->q.data(), f->t.data(), 2);
  EXPECT_LT(reconstruction, 30.0L);
  EXPECT_LT(orthogonality, 30.0L);
  const double root = std::sqrt(33.0);
  EXPECT_NEAR(f->t.data()[0] + f->t.data()[3], 5.0, 1e-14);
  EXPECT_NEAR(std::max(f->t.data()[0], f->t.data()[3]), (5.0 + root) / 2.0, 1e-14);
}

TEST(SchurFactors, ErrorsInTheirOrder) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Bad {
    std::vector<double> a;
    std::uint64_t rows, cols;
    std::string message;
  };
  const std::vector<Bad> cases = {
      {std::vector<double>(6, 1.0), 3, 2, "Shape mismatch: lhs [3, 2], rhs [3, 3]"},
      {{1, inf, 0, 1}, 2, 2, "Storage error: Hessenberg input contains a non-finite value"},
  };
  for (const auto& c : cases) {
    auto f = schur_factors(row_major(c.a, c.rows, c.cols));
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().display(), c.message);
    auto v = schur_eigenvalues(row_major(c.a, c.rows, c.cols));
    ASSERT_FALSE(v);
    EXPECT_EQ(v.error().display(), c.message);
  }
}

TEST(SchurFactors, ScaledInputsComeBackAtTheirTrueMagnitude) {
  for (double scale : {1e300, 1e-300}) {
    const std::vector<double> a = {0, -scale, 0, scale, 0, 0, 0, 0, 2 * scale};
    auto values = schur_eigenvalues(row_major(a, 3, 3));
    ASSERT_TRUE(values);
    std::vector<Complex> sorted(values->data(), values->data() + 3);
    EXPECT_NEAR(std::abs(sorted[0] - Complex(0, scale)) / scale, 0.0, 1e-15);
    EXPECT_NEAR(std::abs(sorted[1] - Complex(0, -scale)) / scale, 0.0, 1e-15);
    EXPECT_NEAR(std::abs(sorted[2] - Complex(2 * scale, 0)) / scale, 0.0, 1e-15);
    auto f = schur_factors(row_major(a, 3, 3));
    ASSERT_TRUE(f);
    EXPECT_NEAR(f->t.data()[8] / scale, 2.0, 1e-15);
  }
}

}  // namespace
}  // namespace kavo_ops
