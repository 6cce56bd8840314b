#pragma once
// Eigenvalues in non-decreasing order with their eigenvectors as columns.

#include <cstdint>

#include "kavo_ops/linalg/symmetric_eigen/symmetric_eigen.h"

namespace kavo_ops {

// values: n eigenvalues; vt: row k is the eigenvector of values[k]. The
// permutation is sorted stably, so equal values keep their order.
SymmetricEigen order_eigenpairs(kavo::Buffer<double> values, const double* vt, std::uint64_t n);

}  // namespace kavo_ops
