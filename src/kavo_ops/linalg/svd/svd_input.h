#pragma once
// What svd and singular_values do before decomposing: the shape and
// non-finite screens on the view itself, then the SVD form of the scaling
// gate; and what they do after: the values multiplied back by 2^s.

#include <optional>
#include <span>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"
#include "kavo_ops/linalg/scaling/scaling_gate.h"

namespace kavo_ops {

kavo::Expected<std::optional<ScaledCopy>> screen_and_gate_svd_input(const kavo::View<double, 2>& a);

// values * 2^exponent; Overflow "singular value exceeds the scalar range"
// when one becomes infinite.
kavo::Expected<void> scale_singular_values_back(std::span<double> values, int exponent);

}  // namespace kavo_ops
