#include "kavo_ops/linalg/bidiagonal/reflector_batch.h"

#include <algorithm>

#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Rows that share a reflector's loads (the dot group's widest) while they
// and the reflector stay in the level-1 cache: six rows of up to 512
// entries; longer rows one at a time (measured: sharing the loads then
// costs more in cache misses than it saves).
std::size_t row_group(std::size_t length) noexcept { return length <= 512 ? 6 : 1; }

}  // namespace

ReflectorBatch::ReflectorBatch(std::size_t length, std::size_t capacity, ReflectorBatchSplit split)
    : length_(length), capacity_(capacity), split_(split) {
  vectors_.reserve(capacity * length);
  offsets_.reserve(capacity);
  firsts_.reserve(capacity);
  taus_.reserve(capacity);
}

void ReflectorBatch::push(std::size_t first, std::span<const double> v, double tau) {
  platform::ensure(first + v.size() == length_ && !full(), "invariant: a batched reflector ends at the factor's edge");
  offsets_.push_back(vectors_.size());
  vectors_.insert(vectors_.end(), v.begin(), v.end());
  firsts_.push_back(first);
  taus_.push_back(tau);
}

void ReflectorBatch::apply_to(double* q, std::size_t rows) {
  const std::size_t count = taus_.size();
  const SliceKernelTable& kernels = active_slice_kernels();
  const std::size_t group = row_group(length_);
  const std::size_t tile = std::max<std::size_t>(1, split_.tile);
  constexpr std::size_t kMaxGroup = 6;
  auto apply_rows = [&](std::uint64_t b, std::uint64_t e) {
    const double* segments[kMaxGroup];
    double sums[kMaxGroup];
    for (std::size_t t0 = 0; t0 < count; t0 += tile) {
      const std::size_t t1 = std::min(count, t0 + tile);
      for (std::size_t g = b; g < e; g += group) {
        const std::size_t g_count = std::min<std::size_t>(group, e - g);
        for (std::size_t i = t0; i < t1; ++i) {
          const std::size_t first = firsts_[i];
          const std::size_t len = length_ - first;
          const double* v = vectors_.data() + offsets_[i];
          for (std::size_t r = 0; r < g_count; ++r) segments[r] = q + (g + r) * length_ + first;
          kernels.dot_group_f64(v, segments, g_count, len, sums);
          for (std::size_t r = 0; r < g_count; ++r) {
            kernels.axpy_f64(-(taus_[i] * sums[r]), v, q + (g + r) * length_ + first, len);
          }
        }
      }
    }
  };
  if (count != 0 && rows != 0) {
    if (std::uint64_t{vectors_.size()} * rows >= split_.parallel_work) {
      for_each_dynamic_chunk(rows, std::max<std::size_t>(1, split_.task_rows), apply_rows);
    } else {
      apply_rows(0, rows);
    }
  }
  vectors_.clear();
  offsets_.clear();
  firsts_.clear();
  taus_.clear();
}

}  // namespace kavo_ops
