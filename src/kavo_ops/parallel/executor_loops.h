#pragma once
// The operations' loops over the process-wide executor. What they add to
// drovek's entry points (drovek/parallel/parallel_for.h): plain function
// pointers with a context and 64-bit counts, the worker count under the
// run-time thread limit, and for_each_dynamic_chunk, which hands chunks out
// one at a time instead of splitting into fixed parts. Small work, calls
// from workers and nested calls run on the calling thread.
//
// Failure: every piece runs or its task stops at the failing piece; once
// all tasks have finished, an internal invariant failure in any piece ends
// as the executor's invariant failure ("drovek global executor: ...:
// SpawnFailed(Panicked)"), while any other exception (std::bad_alloc,
// platform::Interrupted) reaches the caller as itself, the lowest-numbered
// task's first.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <utility>

namespace kavo_ops {

// Cuts `count` 4-byte elements at `buffer` into the executor's units of
// 5461 elements and calls piece(context, first, chunk, chunk_len).
using ChunkPiece = void (*)(void* context, std::uint64_t first, float* chunk, std::uint64_t chunk_len);
void for_each_chunk(float* buffer, std::uint64_t count, void* context, ChunkPiece piece);

// Groups `items` into units worth about 65536 cost units (`unit_cost` per
// item) and calls piece(context, start, len) per unit.
using RangePiece = void (*)(void* context, std::uint64_t start, std::uint64_t len);
void for_each_unit_range(std::uint64_t items, std::uint64_t unit_cost, void* context, RangePiece piece);

// Calls piece(context, i) for every i in [0, count), spread over the
// executor in at most W + 1 contiguous tasks.
using IndexPiece = void (*)(void* context, std::uint64_t index);
void for_each_index(std::uint64_t count, void* context, IndexPiece piece);

// Threads a call may run on: the process-wide executor's workers (creating
// it on first use) under the run-time thread limit. Drivers that hand out
// their own work dynamically size their task count by it.
std::uint64_t executor_worker_count();

// Calls body(begin, end) for consecutive chunks of `chunk` items covering
// [0, count), handed out one at a time to as many tasks as the executor has
// workers: a thread that finishes early takes the next chunk instead of
// idling, which fixed equal parts cannot do when there are more tasks than
// cores. Runs on the calling thread alone when there is one chunk.
template <class F>
void for_each_dynamic_chunk(std::uint64_t count, std::uint64_t chunk, F&& body);

template <class F>
void for_each_index(std::uint64_t count, F&& body) {
  for_each_index(count, &body, [](void* context, std::uint64_t index) {
    (*static_cast<std::remove_reference_t<F>*>(context))(index);
  });
}

template <class F>
void for_each_chunk(float* buffer, std::uint64_t count, F&& body) {
  for_each_chunk(buffer, count, &body, [](void* context, std::uint64_t first, float* chunk, std::uint64_t len) {
    (*static_cast<std::remove_reference_t<F>*>(context))(first, chunk, len);
  });
}

template <class F>
void for_each_unit_range(std::uint64_t items, std::uint64_t unit_cost, F&& body) {
  for_each_unit_range(items, unit_cost, &body, [](void* context, std::uint64_t start, std::uint64_t len) {
    (*static_cast<std::remove_reference_t<F>*>(context))(start, len);
  });
}

template <class F>
void for_each_dynamic_chunk(std::uint64_t count, std::uint64_t chunk, F&& body) {
  const std::uint64_t chunks = count / chunk + (count % chunk != 0);
  if (chunks <= 1) {
    if (count > 0) body(std::uint64_t{0}, count);
    return;
  }
  const std::uint64_t workers = executor_worker_count();
  // Relaxed order suffices: the counter publishes nothing but the index, and
  // the parallel call's completion orders every chunk's effects before the
  // caller goes on.
  std::atomic<std::uint64_t> next{0};
  for_each_index(std::min(chunks, workers > 0 ? workers : 1), [&](std::uint64_t) {
    for (std::uint64_t index; (index = next.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
      const std::uint64_t begin = index * chunk;
      body(begin, std::min(count, begin + chunk));
    }
  });
}

}  // namespace kavo_ops
