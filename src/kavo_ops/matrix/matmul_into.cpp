#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

template <class T>
kavo::Expected<void> matmul_into(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                 const kavo::MutView<T, 2>& out) {
  if (kavo::is_c_contiguous(out.layout)) return matmul_routed(a, b, out, false);
  // Validate `out` before anything is copied into it: the product itself
  // only ever sees the temporary.
  if (auto route = route_matmul(a, b, out); !route) return std::unexpected(std::move(route.error()));
  auto temporary = kavo::try_zeros<T, 2>(out.layout.shape);
  if (!temporary) return std::unexpected(std::move(temporary.error()));
  if (auto done = matmul_routed(a, b, temporary->mut_view(), true); !done) return done;

  const std::uint64_t rows = out.layout.shape[0];
  const std::uint64_t cols = out.layout.shape[1];
  const T* source = temporary->data();
  T* origin = out.data + out.layout.offset;
  for (std::uint64_t i = 0; i < rows; ++i) {
    T* row = origin + static_cast<std::int64_t>(i) * out.layout.strides[0];
    const T* from = source + i * cols;
    if (out.layout.strides[1] == 1) {
      std::copy_n(from, cols, row);
    } else {
      for (std::uint64_t j = 0; j < cols; ++j) row[static_cast<std::int64_t>(j) * out.layout.strides[1]] = from[j];
    }
  }
  return {};
}

template kavo::Expected<void> matmul_into<float>(const kavo::View<float, 2>&, const kavo::View<float, 2>&,
                                                 const kavo::MutView<float, 2>&);
template kavo::Expected<void> matmul_into<double>(const kavo::View<double, 2>&, const kavo::View<double, 2>&,
                                                  const kavo::MutView<double, 2>&);

}  // namespace kavo_ops
