#include "kavo_ops/linalg/svd/bidiagonal_qr/deflation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavo_ops {

double deflation_threshold(std::span<const double> d, std::span<const double> e) noexcept {
  const std::size_t k = d.size();
  double mu = std::fabs(d[0]);
  double smallest = mu;
  for (std::size_t i = 1; i < k && smallest != 0.0; ++i) {
    mu = std::fabs(d[i]) * (mu / (mu + std::fabs(e[i - 1])));
    smallest = std::min(smallest, mu);
  }
  const double thresh = kQrTolerance * smallest / std::sqrt(static_cast<double>(k));
  return std::max(thresh, std::numeric_limits<double>::min());
}

std::size_t find_block_start(const QrState& state, std::size_t hi) noexcept {
  for (std::size_t j = hi; j-- > 0;) {
    if (std::fabs(state.e[j]) <= state.thresh) {
      state.e[j] = 0.0;
      return j + 1;
    }
  }
  return 0;
}

bool split_converged(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept {
  const std::span<double> d = state.d;
  const std::span<double> e = state.e;
  if (top_down) {
    if (std::fabs(e[hi - 1]) <= kQrTolerance * std::fabs(d[hi])) {
      e[hi - 1] = 0.0;
      return true;
    }
    double mu = std::fabs(d[lo]);
    for (std::size_t j = lo; j < hi; ++j) {
      if (std::fabs(e[j]) <= kQrTolerance * mu) {
        e[j] = 0.0;
        return true;
      }
      mu = std::fabs(d[j + 1]) * (mu / (mu + std::fabs(e[j])));
    }
    return false;
  }
  if (std::fabs(e[lo]) <= kQrTolerance * std::fabs(d[lo])) {
    e[lo] = 0.0;
    return true;
  }
  double mu = std::fabs(d[hi]);
  for (std::size_t j = hi; j-- > lo;) {
    if (std::fabs(e[j]) <= kQrTolerance * mu) {
      e[j] = 0.0;
      return true;
    }
    mu = std::fabs(d[j]) * (mu / (mu + std::fabs(e[j])));
  }
  return false;
}

double block_smallest_estimate(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept {
  const std::span<const double> d = state.d;
  const std::span<const double> e = state.e;
  if (top_down) {
    double mu = std::fabs(d[lo]);
    double smallest = mu;
    for (std::size_t j = lo; j < hi; ++j) {
      mu = std::fabs(d[j + 1]) * (mu / (mu + std::fabs(e[j])));
      smallest = std::min(smallest, mu);
    }
    return smallest;
  }
  double mu = std::fabs(d[hi]);
  double smallest = mu;
  for (std::size_t j = hi; j-- > lo;) {
    mu = std::fabs(d[j]) * (mu / (mu + std::fabs(e[j])));
    smallest = std::min(smallest, mu);
  }
  return smallest;
}

}  // namespace kavo_ops
