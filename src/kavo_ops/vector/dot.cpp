#include "kavo_ops/vector/dot.h"

#include <array>
#include <span>

#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace kavo_ops {
namespace {

bool is_unit_run_inside_storage(const kavo::View<float, 1>& v) {
  const std::uint64_t n = v.layout.shape[0];
  return (n <= 1 || v.layout.strides[0] == 1) && v.layout.offset <= v.len && n <= v.len - v.layout.offset;
}

}  // namespace

kavo::Expected<float> dot(const kavo::View<float, 1>& a, const kavo::View<float, 1>& b) {
  const std::uint64_t n = a.layout.shape[0];
  if (n != b.layout.shape[0]) {
    return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{n}, {b.layout.shape[0]}});
  }
  if (auto fits = kavo::check_storage(a.layout, a.len); !fits) return std::unexpected(std::move(fits.error()));
  if (auto fits = kavo::check_storage(b.layout, b.len); !fits) return std::unexpected(std::move(fits.error()));

  if (is_unit_run_inside_storage(a) && is_unit_run_inside_storage(b)) {
    return dot_slice(std::span<const float>(a.data + a.layout.offset, n),
                     std::span<const float>(b.data + b.layout.offset, n));
  }
  float result = 0.0f;
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::array<std::uint64_t, 1> index{i};
    const auto pa = kavo::offset_of(a.layout, index);
    if (!pa) return std::unexpected(pa.error());
    const auto pb = kavo::offset_of(b.layout, index);
    if (!pb) return std::unexpected(pb.error());
    const float product = a.data[*pa] * b.data[*pb];
    result = result + product;
  }
  return result;
}

}  // namespace kavo_ops
