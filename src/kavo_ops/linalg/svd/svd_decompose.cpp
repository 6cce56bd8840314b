#include <optional>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/bidiagonal_qr.h"
#include "kavo_ops/linalg/svd/singular_value_order.h"
#include "kavo_ops/linalg/svd/svd.h"
#include "kavo_ops/linalg/svd/svd_input.h"
#include "kavo_ops/linalg/svd/transposed_copy.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Columns order[0..k) of the factor whose transpose is `rows_of` (each row
// a column), as a rows x k row-major matrix.
kavo::OwnedArray<double, 2> gather_columns(const kavo::OwnedArray<double, 2>& rows_of,
                                           const std::vector<std::size_t>& order) {
  const std::uint64_t length = rows_of.layout().shape[1];
  const std::uint64_t k = order.size();
  kavo::OwnedArray<double, 2> out = kavo::zeros<double, 2>({length, k});
  for (std::uint64_t j = 0; j < k; ++j) {
    const double* source = rows_of.data() + order[j] * length;
    for (std::uint64_t r = 0; r < length; ++r) out.data()[r * k + j] = source[r];
  }
  return out;
}

}  // namespace

kavo::Expected<SvdFactors> svd(const kavo::View<double, 2>& a) {
  auto gate = screen_and_gate_svd_input(a);
  if (!gate) return std::unexpected(std::move(gate.error()));
  const kavo::View<double, 2> input = *gate ? (*gate)->matrix.view() : a;
  const bool wide = input.layout.shape[0] < input.layout.shape[1];
  std::optional<kavo::OwnedArray<double, 2>> tall;
  if (wide) tall = transposed_copy(input);

  auto factors = bidiagonalize(tall ? tall->view() : input);
  if (!factors) return std::unexpected(std::move(factors.error()));
  const std::uint64_t k = factors->b.layout().shape[1];
  const double* b = factors->b.data();
  std::vector<double> d(k), e(k, 0.0);
  for (std::uint64_t i = 0; i < k; ++i) {
    d[i] = b[i * k + i];
    if (i + 1 < k) e[i] = b[i * k + i + 1];
  }
  // Rotations act on columns of U and V: keep them as rows of U^T and V^T.
  // They reach only the first k columns of U, and only those are returned,
  // so only those are transposed.
  kavo::OwnedArray<double, 2> ut = leading_columns_transposed(factors->u, k);
  kavo::OwnedArray<double, 2> vt = leading_columns_transposed(factors->v, k);
  const std::uint64_t rows = ut.layout().shape[1];
  RotationLog u_log(ut.data(), rows);
  RotationLog v_log(vt.data(), k);
  if (auto qr = bidiagonal_qr(d, e, &u_log, &v_log); !qr) return std::unexpected(std::move(qr.error()));

  std::vector<bool> negated;
  const std::vector<std::size_t> order = order_singular_values(d, &negated, "singular values are finite");
  for (std::uint64_t i = 0; i < k; ++i) {
    if (!negated[i]) continue;
    double* row = ut.data() + i * rows;
    for (std::uint64_t r = 0; r < rows; ++r) row[r] = -row[r];
  }
  kavo::Buffer<double> s(k);
  for (std::uint64_t j = 0; j < k; ++j) s[j] = d[order[j]];
  if (*gate) {
    if (auto back = scale_singular_values_back({s.data(), k}, (*gate)->exponent); !back) {
      return std::unexpected(std::move(back.error()));
    }
  }
  kavo::OwnedArray<double, 2> left = gather_columns(ut, order);
  kavo::OwnedArray<double, 2> right = gather_columns(vt, order);
  if (wide) return SvdFactors{std::move(right), std::move(s), std::move(left)};
  return SvdFactors{std::move(left), std::move(s), std::move(right)};
}

}  // namespace kavo_ops
