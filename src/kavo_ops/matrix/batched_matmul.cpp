#include "kavo_ops/matrix/batched_matmul.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_ops/matrix/small_batched_products.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Batches per chunk handed to a task: enough to make the hand-out cheap,
// few enough that both cores finish together.
constexpr std::uint64_t kBatchChunk = 64;

// Multiply-adds of small batches per chunk of the register loop: about
// 50 microseconds of work, what waking a parked worker costs.
constexpr std::uint64_t kSmallBatchedChunkWork = 1 << 21;

constexpr const char* kBatchLayout = "invariant: batch submatrix layout derives from a validated parent";

// Matrix `batch` of a rank-3 view as a 2-D view (batch 0 when the view has a
// single batch, which then serves every batch).
template <class View2, class View3>
View2 batch_matrix(const View3& parent, std::uint64_t batch) {
  const auto& layout = parent.layout;
  const std::uint64_t index = layout.shape[0] == 1 ? 0 : batch;
  // Not offset_of: a batch of an empty matrix (k = 0 with a non-empty result)
  // has no element (t, 0, 0), but its position is still well defined.
  std::int64_t step = 0, offset = 0;
  const bool overflows = __builtin_mul_overflow(static_cast<std::int64_t>(index), layout.strides[0], &step) ||
                         __builtin_add_overflow(static_cast<std::int64_t>(layout.offset), step, &offset) || offset < 0;
  platform::ensure(!overflows, kBatchLayout);
  View2 matrix{parent.data, parent.len,
               {{layout.shape[1], layout.shape[2]}, {layout.strides[1], layout.strides[2]}, std::uint64_t(offset)}};
  if constexpr (requires { matrix.shares_window; }) matrix.shares_window = parent.shares_window;
  return matrix;
}

// The error of the lowest failing batch, as the sequential driver reports
// it. Once a batch has failed, batches above it are skipped; batches below it
// still run (one of them may fail too and then takes over), so the lowest
// failing batch is never skipped, whichever thread meets its failure first.
class FirstBatchError {
 public:
  void record(std::uint64_t batch, kavo::ArrayError error) {
    std::lock_guard lock(mutex_);
    if (batch >= lowest_.load(std::memory_order_relaxed)) return;
    error_.emplace(std::move(error));
    // Relaxed: the index only decides which batches to skip; the error is
    // read after every batch has finished (the parallel call orders that).
    lowest_.store(batch, std::memory_order_relaxed);
  }
  // Whether `batch` can no longer be the lowest failing one.
  bool skips(std::uint64_t batch) const noexcept { return batch > lowest_.load(std::memory_order_relaxed); }
  std::optional<kavo::ArrayError> take() { return std::move(error_); }

 private:
  std::mutex mutex_;
  std::optional<kavo::ArrayError> error_;  // guarded by mutex_
  std::atomic<std::uint64_t> lowest_{UINT64_MAX};  // written under mutex_
};

}  // namespace

kavo::Expected<std::uint64_t> batched_batch_count(const kavo::Extents<3>& a_shape, const kavo::Extents<3>& b_shape) {
  const std::uint64_t a_batches = a_shape[0], b_batches = b_shape[0];
  if (a_batches == b_batches || b_batches == 1) return a_batches;
  if (a_batches == 1) return b_batches;
  return std::unexpected<kavo::ArrayError>(
      kavo::ShapeMismatch{{a_shape[0], a_shape[1], a_shape[2]}, {b_shape[0], b_shape[1], b_shape[2]}});
}

template <class T>
kavo::Expected<void> batched_matmul_into(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b,
                                         const kavo::MutView<T, 3>& out) {
  const std::uint64_t batches = out.layout.shape[0];
  if (kavo::has_zero_extent(out.layout.shape_span())) return {};
  if (small_batched_products_apply(a, b, out)) {
    // No error is possible past the check: one loop, cut into chunks only
    // when the work pays for waking a second core.
    const std::uint64_t m = out.layout.shape[1], n = out.layout.shape[2], k = a.layout.shape[2];
    const std::uint64_t chunk = std::max<std::uint64_t>(1, kSmallBatchedChunkWork / (m * n * k));
    for_each_dynamic_chunk(batches, chunk, [&](std::uint64_t first, std::uint64_t end) {
      platform::throw_if_interrupted();
      small_batched_products(a, b, out, first, end);
    });
    return {};
  }
  auto one_batch = [&](std::uint64_t t) {
    return matmul_into(batch_matrix<kavo::View<T, 2>>(a, t), batch_matrix<kavo::View<T, 2>>(b, t),
                       batch_matrix<kavo::MutView<T, 2>>(out, t));
  };
  if (batches < kParallelBatches) {
    for (std::uint64_t t = 0; t < batches; ++t) {
      platform::throw_if_interrupted();
      if (auto done = one_batch(t); !done) return done;
    }
    return {};
  }
  FirstBatchError first_error;
  for_each_dynamic_chunk(batches, kBatchChunk, [&](std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t t = begin; t < end; ++t) {
      platform::throw_if_interrupted();
      if (first_error.skips(t)) return;
      if (auto done = one_batch(t); !done) first_error.record(t, std::move(done.error()));
    }
  });
  if (auto error = first_error.take()) return std::unexpected(std::move(*error));
  return {};
}

template kavo::Expected<void> batched_matmul_into<float>(const kavo::View<float, 3>&, const kavo::View<float, 3>&,
                                                         const kavo::MutView<float, 3>&);
template kavo::Expected<void> batched_matmul_into<double>(const kavo::View<double, 3>&,
                                                          const kavo::View<double, 3>&,
                                                          const kavo::MutView<double, 3>&);

}  // namespace kavo_ops
