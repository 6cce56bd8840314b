#include <optional>

#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/bidiagonal_qr.h"
#include "kavo_ops/linalg/svd/singular_value_order.h"
#include "kavo_ops/linalg/svd/svd.h"
#include "kavo_ops/linalg/svd/svd_input.h"
#include "kavo_ops/linalg/svd/transposed_copy.h"

namespace kavo_ops {

kavo::Expected<kavo::Buffer<double>> singular_values(const kavo::View<double, 2>& a) {
  auto gate = screen_and_gate_svd_input(a);
  if (!gate) return std::unexpected(std::move(gate.error()));
  const kavo::View<double, 2> input = *gate ? (*gate)->matrix.view() : a;
  std::optional<kavo::OwnedArray<double, 2>> tall;
  if (input.layout.shape[0] < input.layout.shape[1]) tall = transposed_copy(input);

  auto bidiagonal = bidiagonal_values(tall ? tall->view() : input);
  if (!bidiagonal) return std::unexpected(std::move(bidiagonal.error()));
  std::vector<double>& d = bidiagonal->d;
  if (auto qr = bidiagonal_qr(d, bidiagonal->e, nullptr, nullptr); !qr) {
    return std::unexpected(std::move(qr.error()));
  }
  const std::vector<std::size_t> order = order_singular_values(d, nullptr, "singular values are finite (not NaN)");
  const std::size_t k = d.size();
  kavo::Buffer<double> s(k);
  for (std::size_t j = 0; j < k; ++j) s[j] = d[order[j]];
  if (*gate) {
    if (auto back = scale_singular_values_back({s.data(), k}, (*gate)->exponent); !back) {
      return std::unexpected(std::move(back.error()));
    }
  }
  return s;
}

}  // namespace kavo_ops
