#pragma once
// The length checks of gemv and gemv_transpose (gemv.h), shared by the
// dispatchers and the tier kernels so that every tier accepts exactly the
// same calls. Declared as plain functions: tier sources, compiled with
// wide-instruction flags, include this header.

#include <cstddef>

namespace fyrel {

// s >= n, and for m > 0 also a_len >= n + s * (m - 1) without overflow.
bool gemv_window_fits(std::size_t a_len, std::size_t m, std::size_t n, std::size_t s) noexcept;

// The window fits, x_len >= n and y_len >= m.
bool gemv_lengths_fit(std::size_t a_len, std::size_t x_len, std::size_t y_len, std::size_t m, std::size_t n,
                      std::size_t s) noexcept;

// The window fits, x_len >= m and y_len >= n.
bool gemv_transpose_lengths_fit(std::size_t a_len, std::size_t x_len, std::size_t y_len, std::size_t m,
                                std::size_t n, std::size_t s) noexcept;

}  // namespace fyrel
