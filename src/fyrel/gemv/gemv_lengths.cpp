#include "fyrel/gemv/gemv_lengths.h"

namespace fyrel {

bool gemv_window_fits(std::size_t a_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (s < n) return false;
  if (m == 0) return true;
  std::size_t row_starts = 0;  // s * (m - 1): where the last row begins
  std::size_t window_end = 0;
  if (__builtin_mul_overflow(s, m - 1, &row_starts)) return false;
  if (__builtin_add_overflow(row_starts, n, &window_end)) return false;
  return a_len >= window_end;
}

bool gemv_lengths_fit(std::size_t a_len, std::size_t x_len, std::size_t y_len, std::size_t m, std::size_t n,
                      std::size_t s) noexcept {
  return x_len >= n && y_len >= m && gemv_window_fits(a_len, m, n, s);
}

bool gemv_transpose_lengths_fit(std::size_t a_len, std::size_t x_len, std::size_t y_len, std::size_t m,
                                std::size_t n, std::size_t s) noexcept {
  return x_len >= m && y_len >= n && gemv_window_fits(a_len, m, n, s);
}

}  // namespace fyrel
