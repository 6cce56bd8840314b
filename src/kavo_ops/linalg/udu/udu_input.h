#pragma once
// The input screen of UDU on a row-major n x n matrix: finiteness, then
// symmetry within 1e-9 * M. Returns M, the largest magnitude, which also
// scales the pivot tolerance.

#include <cstdint>

#include "kavo/error/array_error.h"

namespace kavo_ops {

kavo::Expected<double> udu_screen_input(const double* a, std::uint64_t n);

}  // namespace kavo_ops
