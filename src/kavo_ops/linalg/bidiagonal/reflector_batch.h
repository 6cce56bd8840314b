#pragma once
// Reflectors waiting to be applied to a factor matrix Q from the right, in
// recorded order: Q <- Q * H_0 * H_1 * ... with H_i = I - tau_i v_i v_i^T.
// Each v_i is kept at full length with zeros before its first entry; the
// products skip those zeros. Row r of Q takes every reflector of the batch
// before row r+1 is touched, so a row stays in cache across the batch; per
// row the arithmetic is the plain sequence
//   s = dot(Q[r, f_i..), v_i[f_i..)),  Q[r, f_i..) += -(tau_i * s) * v_i[f_i..).

#include <cstddef>
#include <span>
#include <vector>

namespace kavo_ops {

class ReflectorBatch {
 public:
  static constexpr std::size_t kCapacity = 16;

  explicit ReflectorBatch(std::size_t length) : length_(length) {}

  // v holds the entries first .. length-1.
  void push(std::size_t first, std::span<const double> v, double tau);
  bool full() const noexcept { return taus_.size() == kCapacity; }
  std::size_t size() const noexcept { return taus_.size(); }

  // Q is rows x length, row-major with row stride `length`; empties the batch.
  void apply_to(double* q, std::size_t rows);

 private:
  std::size_t length_;
  std::vector<double> vectors_;
  std::vector<std::size_t> firsts_;
  std::vector<double> taus_;
};

}  // namespace kavo_ops
