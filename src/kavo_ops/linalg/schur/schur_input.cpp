#include "kavo_ops/linalg/schur/schur_input.h"

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/scaling/scaling_gate.h"

namespace kavo_ops {

kavo::Expected<SchurInput> schur_input(const kavo::View<double, 2>& a, std::uint64_t n, bool form_q) {
  auto gate = gate_schur(a, n);
  if (!gate) return std::unexpected(std::move(gate.error()));
  int exponent = 0;
  std::optional<kavo::OwnedArray<double, 2>> scaled;
  if (*gate) {
    exponent = (*gate)->exponent;
    scaled.emplace(std::move((*gate)->matrix));
  }
  auto form = reduce_owned_to_hessenberg(scaled ? std::move(*scaled) : kavo::to_row_major_owned(a), form_q);
  if (!form) return std::unexpected(std::move(form.error()));
  return SchurInput{std::move(*form), exponent};
}

}  // namespace kavo_ops
