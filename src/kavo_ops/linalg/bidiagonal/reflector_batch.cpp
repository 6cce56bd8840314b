#include "kavo_ops/linalg/bidiagonal/reflector_batch.h"

#include <algorithm>

#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void ReflectorBatch::push(std::size_t first, std::span<const double> v, double tau) {
  platform::ensure(first + v.size() == length_ && !full(), "invariant: a batched reflector ends at the factor's edge");
  const std::size_t base = vectors_.size();
  vectors_.resize(base + length_, 0.0);
  std::copy(v.begin(), v.end(), vectors_.begin() + static_cast<std::ptrdiff_t>(base + first));
  firsts_.push_back(first);
  taus_.push_back(tau);
}

void ReflectorBatch::apply_to(double* q, std::size_t rows) {
  for (std::size_t r = 0; r < rows; ++r) {
    double* row = q + r * length_;
    for (std::size_t i = 0; i < taus_.size(); ++i) {
      const std::size_t first = firsts_[i];
      const std::span<const double> v(vectors_.data() + i * length_ + first, length_ - first);
      const std::span<double> segment(row + first, length_ - first);
      const double s = dot_slice(std::span<const double>(segment), v);
      axpy_slice(-(taus_[i] * s), v, segment);
    }
  }
  vectors_.clear();
  firsts_.clear();
  taus_.clear();
}

}  // namespace kavo_ops
