#pragma once
// The common start of schur and eigenvalues: the Schur form of the scaling
// gate, then the Hessenberg reduction of the (scaled) copy.

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"
#include "kavo_ops/linalg/hessenberg/hessenberg.h"

namespace kavo_ops {

struct SchurInput {
  HessenbergForm form;
  int exponent;  // the gate's s: results are multiplied back by 2^s
};

// `a` is square of order n ≥ 1.
kavo::Expected<SchurInput> schur_input(const kavo::View<double, 2>& a, std::uint64_t n, bool form_q);

}  // namespace kavo_ops
