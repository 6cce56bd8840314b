#pragma once
// Implicit QR iteration on an upper bidiagonal matrix (diagonal d, k
// entries; superdiagonal e, k-1 entries used), after LAPACK dbdsqr
// (Demmel and Kahan, "Accurate singular values of bidiagonal matrices",
// 1990): chase direction chosen per block, relative convergence tests,
// zero-shift sweeps when the shift would spoil relative accuracy, and 2 x 2
// blocks by dlasv2. Departures from dbdsqr: the shift is the eigenvalue of
// the exact trailing (or leading) 2 x 2 of B^T B (or B B^T) nearest its
// corner, scaled by powers of two; negligible diagonal entries are removed
// by explicit rotation chases; the step budget counts sweeps and chases for
// the whole matrix.
//
// On return d holds the singular values, unsorted and signed; e is zero.
// Every rotation applied to B is recorded into the logs of U^T and V^T
// (null: values only) so that A = U B V^T keeps holding; the logs are
// flushed before returning.
//
// Budget: max(4000, 6 k^2) steps, the growth LAPACK allows (6 per entry
// squared) with 4000 as floor; more fails with StorageError "bidiagonal SVD
// QR failed to converge".

#include <cstdint>
#include <optional>
#include <span>

#include "kavo/error/array_error.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"

namespace kavo_ops {

std::uint64_t bidiagonal_qr_step_budget(std::uint64_t k) noexcept;

// `budget` replaces the size rule (for tests).
kavo::Expected<void> bidiagonal_qr(std::span<double> d, std::span<double> e, RotationLog* u, RotationLog* v,
                                   std::optional<std::uint64_t> budget = std::nullopt);

}  // namespace kavo_ops
