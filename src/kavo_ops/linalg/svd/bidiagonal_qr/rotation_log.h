#pragma once
// Plane rotations recorded by the bidiagonal QR iteration and applied later
// to a transposed factor (U^T or V^T, row-major, one row per column of the
// factor), in recorded order. Each rotation updates rows x = first and
// y = second elementwise:
//   x' = c x + s y,   y' = c y - s x     (each product rounded, no fusing)
// apply_rotations runs the recorded list column chunk by column chunk: the
// chunk stays in cache across the whole list, and each element still sees
// exactly the rotations of the plain row-by-row loop in the same order, so
// the result is the same bits as that loop, on every processor tier (the
// tiers differ only in vector width). Long lists over long rows are split
// into column ranges on the executor: columns are independent, so the bits
// do not change.

#include <cstddef>
#include <vector>

namespace kavo_ops {

struct PlaneRotation {
  std::size_t first;
  std::size_t second;
  double c;
  double s;
};

void apply_rotations(double* rows, std::size_t row_length, const PlaneRotation* rotations, std::size_t count);

class RotationLog {
 public:
  // 8192 rotations (256 KiB) share the 1 MiB level-2 cache with a 16-column
  // chunk of factors up to order 2000; flushing more often costs one more
  // pass over the factor per flush.
  static constexpr std::size_t kCapacity = 8192;

  RotationLog(double* rows, std::size_t row_length, std::size_t capacity = kCapacity)
      : rows_(rows), row_length_(row_length), capacity_(capacity) {
    pending_.reserve(capacity);
  }

  void rotate(std::size_t first, std::size_t second, double c, double s) {
    pending_.push_back({first, second, c, s});
    if (pending_.size() >= capacity_) flush();
  }

  void flush() {
    apply_rotations(rows_, row_length_, pending_.data(), pending_.size());
    pending_.clear();
  }

 private:
  double* rows_;
  std::size_t row_length_;
  std::size_t capacity_;
  std::vector<PlaneRotation> pending_;
};

// One table per processor tier, defined by apply_rotations_tier_[abc].cpp:
// the recorded list over columns [0, width) of rows that lie row_length apart.
struct ApplyRotationsKernels {
  void (*apply)(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                std::size_t count) noexcept;
};
extern const ApplyRotationsKernels apply_rotations_tier_a, apply_rotations_tier_b, apply_rotations_tier_c;

}  // namespace kavo_ops
