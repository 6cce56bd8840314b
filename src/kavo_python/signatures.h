#pragma once
// Name and parameters of each of the module's functions.

#include "kavo_python/argument_parser.h"

namespace kavo_python::signatures {

inline constexpr Signature add{"add", {"a", "b"}, 2, 2};
inline constexpr Signature sub{"sub", {"a", "b"}, 2, 2};
inline constexpr Signature mul{"mul", {"a", "b"}, 2, 2};
inline constexpr Signature div{"div", {"a", "b"}, 2, 2};
inline constexpr Signature dot{"dot", {"a", "b"}, 2, 2};
inline constexpr Signature sum{"sum", {"a"}, 1, 1};
inline constexpr Signature matmul{"matmul", {"a", "b"}, 2, 2};
inline constexpr Signature batched_matmul{"batched_matmul", {"a", "b"}, 2, 2};
inline constexpr Signature sum_dyn{"sum_dyn", {"a"}, 1, 1};
inline constexpr Signature det{"det", {"a"}, 1, 1};
inline constexpr Signature inv{"inv", {"a"}, 1, 1};
inline constexpr Signature solve{"solve", {"a", "b"}, 2, 2};
inline constexpr Signature cholesky{"cholesky", {"a"}, 1, 1};
inline constexpr Signature cholesky_solve{"cholesky_solve", {"a", "b"}, 2, 2};
inline constexpr Signature cholesky_inv{"cholesky_inv", {"a"}, 1, 1};
inline constexpr Signature qr{"qr", {"a"}, 1, 1};
inline constexpr Signature col_piv_qr{"col_piv_qr", {"a"}, 1, 1};
inline constexpr Signature svd{"svd", {"a"}, 1, 1};
inline constexpr Signature symmetric_eigen{"symmetric_eigen", {"a"}, 1, 1};
inline constexpr Signature singular_values{"singular_values", {"a"}, 1, 1};
inline constexpr Signature norm{"norm", {"a", "ord"}, 2, 1};
inline constexpr Signature schur{"schur", {"a"}, 1, 1};
inline constexpr Signature bunch_kaufman{"bunch_kaufman", {"a"}, 1, 1};
inline constexpr Signature matexp{"matexp", {"a"}, 1, 1};
inline constexpr Signature kron{"kron", {"a", "b"}, 2, 2};
inline constexpr Signature trace{"trace", {"a"}, 1, 1};
inline constexpr Signature hessenberg{"hessenberg", {"a"}, 1, 1};
inline constexpr Signature eigenvalues{"eigenvalues", {"a"}, 1, 1};
inline constexpr Signature full_piv_lu{"full_piv_lu", {"a"}, 1, 1};
inline constexpr Signature udu{"udu", {"a"}, 1, 1};
inline constexpr Signature bidiagonalize{"bidiagonalize", {"a"}, 1, 1};

}  // namespace kavo_python::signatures
