#pragma once
// Reflectors waiting to be applied to a factor matrix Q from the right, in
// recorded order: Q <- Q * H_0 * H_1 * ... with H_i = I - tau_i v_i v_i^T,
// each v_i acting on columns f_i .. length-1. Every row of Q takes the plain
// sequence
//   s = dot(Q[r, f_i..), v_i),  Q[r, f_i..) += -(tau_i * s) * v_i
// for i in order, row by row independent of the others: so a task's rows
// stay in cache while tiles of reflectors pass over them, a few rows at a
// time sharing each reflector's loads, and large batches share their rows
// out over the executor, none of which changes a bit.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kavo_ops {

// How apply_to shares out its rows: tasks of `task_rows` rows, each taking
// `tile` reflectors at a time, on the executor once the batch holds
// `parallel_work` multiply-adds. The defaults were measured on two cores;
// tests force small ones.
struct ReflectorBatchSplit {
  std::size_t task_rows = 64;
  std::size_t tile = 16;
  std::uint64_t parallel_work = std::uint64_t{1} << 18;
};

class ReflectorBatch {
 public:
  static constexpr std::size_t kCapacity = 16;

  // Room for `capacity` reflectors is reserved at once (address space
  // only: a batch never moves its vectors while it fills).
  explicit ReflectorBatch(std::size_t length, std::size_t capacity = kCapacity, ReflectorBatchSplit split = {});

  // v holds the entries first .. length-1.
  void push(std::size_t first, std::span<const double> v, double tau);
  bool full() const noexcept { return taus_.size() == capacity_; }
  std::size_t size() const noexcept { return taus_.size(); }

  // Q is rows x length, row-major with row stride `length`; empties the batch.
  void apply_to(double* q, std::size_t rows);

 private:
  std::size_t length_;
  std::size_t capacity_;
  ReflectorBatchSplit split_;
  std::vector<double> vectors_;  // each v from its first entry, one after another
  std::vector<std::size_t> offsets_;
  std::vector<std::size_t> firsts_;
  std::vector<double> taus_;
};

}  // namespace kavo_ops
