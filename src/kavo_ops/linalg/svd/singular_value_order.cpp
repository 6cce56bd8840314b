#include "kavo_ops/linalg/svd/singular_value_order.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/invariant_failure.h"

namespace kavo_ops {

std::vector<std::size_t> order_singular_values(std::span<double> values, std::vector<bool>* negated,
                                               const char* nan_message) {
  if (negated) negated->assign(values.size(), false);
  for (std::size_t i = 0; i < values.size(); ++i) {
    platform::ensure(!std::isnan(values[i]), nan_message);
    if (negated && values[i] < 0.0) (*negated)[i] = true;
    values[i] = std::fabs(values[i]);  // also turns -0 into +0
  }
  std::vector<std::size_t> order(values.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] > values[b]; });
  return order;
}

}  // namespace kavo_ops
