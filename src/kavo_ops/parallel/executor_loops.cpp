#include "kavo_ops/parallel/executor_loops.h"

#include "drovek/executor/global_executor.h"
#include "drovek/executor/thread_limit.h"
#include "drovek/parallel/parallel_for.h"

namespace kavo_ops {
namespace {

struct ChunkCall {
  void* context;
  ChunkPiece piece;
};

struct IndexCall {
  void* context;
  IndexPiece piece;
};

struct RangeCall {
  void* context;
  RangePiece piece;
};

}  // namespace

void for_each_chunk(float* buffer, std::uint64_t count, void* context, ChunkPiece piece) {
  ChunkCall call{context, piece};
  drovek::for_each_unit_task_mut_with(buffer, count, &call,
                                      [](void* c, std::size_t first, void* sub, std::size_t length) {
                                        auto* chunk_call = static_cast<ChunkCall*>(c);
                                        chunk_call->piece(chunk_call->context, first, static_cast<float*>(sub), length);
                                      });
}

void for_each_unit_range(std::uint64_t items, std::uint64_t unit_cost, void* context, RangePiece piece) {
  RangeCall call{context, piece};
  drovek::for_each_unit_task_range_with(items, unit_cost, &call, [](void* c, std::size_t start, std::size_t length) {
    auto* range_call = static_cast<RangeCall*>(c);
    range_call->piece(range_call->context, start, length);
  });
}

void for_each_index(std::uint64_t count, void* context, IndexPiece piece) {
  IndexCall call{context, piece};
  drovek::for_each_index_with(count, &call, [](void* c, std::size_t index) {
    auto* index_call = static_cast<IndexCall*>(c);
    index_call->piece(index_call->context, index);
  });
}

std::uint64_t executor_worker_count() { return drovek::limit_call_threads(drovek::global_executor().worker_count()); }

}  // namespace kavo_ops
