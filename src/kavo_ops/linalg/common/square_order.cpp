#include "kavo_ops/linalg/common/square_order.h"

namespace kavo_ops {

kavo::Expected<std::uint64_t> square_order(const kavo::Layout<2>& layout) {
  const std::uint64_t rows = layout.shape[0];
  const std::uint64_t cols = layout.shape[1];
  if (rows != cols) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{rows, cols}, {rows, rows}});
  return rows;
}

}  // namespace kavo_ops
