#pragma once
// The order of a square matrix, or ShapeMismatch lhs [rows, cols],
// rhs [rows, rows] for a rectangular one: the check every square
// factorization starts with.

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/layout/layout.h"

namespace kavo_ops {

kavo::Expected<std::uint64_t> square_order(const kavo::Layout<2>& layout);

}  // namespace kavo_ops
