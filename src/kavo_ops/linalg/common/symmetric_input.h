#pragma once
// The input screen of the symmetric factorizations on a row-major n x n
// matrix: finiteness first ("<name> input contains a non-finite value"),
// then symmetry within 1e-9 * M ("<name> requires a symmetric matrix"),
// where M is the largest magnitude of any entry. Returns M, which also
// scales their pivot tolerances.

#include <cstdint>

#include "kavo/error/array_error.h"

namespace kavo_ops {

kavo::Expected<double> require_symmetric_input(const double* a, std::uint64_t n, const char* factorization);

}  // namespace kavo_ops
