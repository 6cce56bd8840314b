#pragma once
// The non-finite screen every factorization runs on its owned copy before
// anything else: StorageError "<name> input contains a non-finite value".
// The functions that screen their input view before copying it (SVD, the
// matrix exponential) ask all_finite and word the error themselves.

#include <span>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<void> require_finite(std::span<const double> values, const char* factorization);

// Whether no value is infinite or NaN: one pass over the buffer when the view
// is a C-contiguous window, the elements one by one otherwise.
bool all_finite(std::span<const double> values) noexcept;
bool all_finite(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
