#pragma once
// The two copy-free routes of matmul_routed, for a row-major output:
//   dot kernel   (A row-major, B column-major): out[i, j] = dot(A[i, :], B[:, j])
//                with the dot slice kernel over k contiguous elements each;
//                with `accumulate` the dot is added to out[i, j].
//   outer kernel (A column-major, B row-major): zero-fills out unless
//                `accumulate`, then the row-update loop (row_update.h).
// With `parallel`, rows go in blocks of 4 and more than 15 blocks are spread
// over the executor, one index per block; otherwise everything runs here.

#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

template <class T>
void dot_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, bool accumulate, bool parallel);

template <class T>
void outer_kernel(const MatmulRoute& route, const T* a, const T* b, const kavo::MutView<T, 2>& out, bool accumulate,
                  bool parallel);

}  // namespace kavo_ops
