#include "kavo_ops/linalg/products/kronecker.h"

#include <cstring>
#include <limits>

#include "kavo/constructors/constructors.h"
#include "kavo/layout/contiguity.h"

namespace kavo_ops {
namespace {

// Largest count a signed 64-bit extent or stride can hold.
constexpr std::uint64_t kMaxExtent = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

struct OutputShape {
  std::uint64_t rows = 0;
  std::uint64_t cols = 0;
  std::uint64_t count = 0;
};

kavo::Expected<OutputShape> output_shape(const kavo::Layout<2>& a, const kavo::Layout<2>& b) {
  OutputShape out;
  if (__builtin_mul_overflow(a.shape[0], b.shape[0], &out.rows)) return kavo::overflow("kronecker output row count");
  if (__builtin_mul_overflow(a.shape[1], b.shape[1], &out.cols)) return kavo::overflow("kronecker output column count");
  // Checked even for an empty result: the row-major layout could not be built.
  if (out.rows > kMaxExtent) return kavo::overflow("kronecker output row count");
  if (out.cols > kMaxExtent) return kavo::overflow("kronecker output column count");
  if (__builtin_mul_overflow(out.rows, out.cols, &out.count)) return kavo::overflow("kronecker output element count");
  return out;
}

// Position of [row][col] in a view whose layout was validated when it was
// made. Unsigned arithmetic wraps modulo 2^64, so negative strides land on
// the same in-bounds position signed arithmetic would.
std::uint64_t position(const kavo::Layout<2>& layout, std::uint64_t row, std::uint64_t col) {
  return layout.offset + row * static_cast<std::uint64_t>(layout.strides[0]) +
         col * static_cast<std::uint64_t>(layout.strides[1]);
}

// B as a dense row-major buffer, so every block row is read from one
// contiguous run. Called only for a non-empty B.
kavo::Buffer<double> dense_copy(const kavo::View<double, 2>& b) {
  const kavo::Layout<2>& layout = b.layout;
  const std::uint64_t rows = layout.shape[0];
  const std::uint64_t cols = layout.shape[1];
  kavo::Buffer<double> dense(rows * cols);
  const bool window_fits = layout.offset <= b.len && rows * cols <= b.len - layout.offset;
  if (kavo::is_c_contiguous(layout) && window_fits) {
    std::memcpy(dense.data(), b.data + layout.offset, rows * cols * sizeof(double));
    return dense;
  }
  for (std::uint64_t k = 0; k < rows; ++k) {
    for (std::uint64_t l = 0; l < cols; ++l) dense[k * cols + l] = b.data[position(layout, k, l)];
  }
  return dense;
}

// out[l] = source[l] * x; the two runs never overlap, which lets the loop
// vectorise.
void scale_run(const double* __restrict source, double x, double* __restrict out, std::uint64_t count) {
  for (std::uint64_t l = 0; l < count; ++l) out[l] = source[l] * x;
}

}  // namespace

kavo::Expected<kavo::OwnedArray<double, 2>> kronecker(const kavo::View<double, 2>& a,
                                                      const kavo::View<double, 2>& b) {
  auto shape = output_shape(a.layout, b.layout);
  if (!shape) return std::unexpected(std::move(shape.error()));
  auto product = kavo::try_zeros<double, 2>({shape->rows, shape->cols});
  if (!product || shape->count == 0) return product;

  const std::uint64_t p = a.layout.shape[0];
  const std::uint64_t q = a.layout.shape[1];
  const std::uint64_t r = b.layout.shape[0];
  const std::uint64_t s = b.layout.shape[1];
  const kavo::Buffer<double> dense_b = dense_copy(b);
  double* out = product->data();
  for (std::uint64_t i = 0; i < p; ++i) {
    for (std::uint64_t j = 0; j < q; ++j) {
      const double x = a.data[position(a.layout, i, j)];
      if (x == 0.0) continue;  // the block keeps its +0.0 fill, whatever B holds
      double* block = out + (i * r) * shape->cols + j * s;
      for (std::uint64_t k = 0; k < r; ++k) scale_run(dense_b.data() + k * s, x, block + k * shape->cols, s);
    }
  }
  return product;
}

}  // namespace kavo_ops
