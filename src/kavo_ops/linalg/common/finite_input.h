#pragma once
// The non-finite screen every factorization runs on its owned copy before
// anything else: StorageError "<name> input contains a non-finite value".

#include <span>

#include "kavo/error/array_error.h"

namespace kavo_ops {

kavo::Expected<void> require_finite(std::span<const double> values, const char* factorization);

}  // namespace kavo_ops
