#include "fyrel/gemv/gemv.h"

#include "fyrel/gemv/gemv_kernel_table.h"
#include "platform/per_tier.h"

namespace fyrel {
namespace {

constexpr platform::PerTier<GemvKernels> gemv_kernels{gemv_kernels_tier_a, gemv_kernels_tier_b, gemv_kernels_tier_c};

}  // namespace

// A vector form that finds the lengths do not fit leaves the call to the
// portable form, which checks again and does nothing.
void gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_kernels.active().gemv(a, a_len, x, x_len, y, y_len, m, n, s)) {
    gemv_kernels_tier_c.gemv(a, a_len, x, x_len, y, y_len, m, n, s);
  }
}

void gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_kernels.active().gemv_transpose(a, a_len, x, x_len, y, y_len, m, n, s)) {
    gemv_kernels_tier_c.gemv_transpose(a, a_len, x, x_len, y, y_len, m, n, s);
  }
}

}  // namespace fyrel
