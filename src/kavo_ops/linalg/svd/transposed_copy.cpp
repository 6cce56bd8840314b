#include "kavo_ops/linalg/svd/transposed_copy.h"

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"

namespace kavo_ops {

kavo::OwnedArray<double, 2> transposed_copy(const kavo::View<double, 2>& a) {
  const std::uint64_t rows = a.layout.shape[0];
  const std::uint64_t cols = a.layout.shape[1];
  const kavo::OwnedArray<double, 2> source = kavo::to_row_major_owned(a);
  kavo::OwnedArray<double, 2> result = kavo::zeros<double, 2>({cols, rows});
  // A row-major rows x cols block is a column-major cols x rows one.
  if (rows * cols != 0) kavo::transpose_tiled(source.data(), result.data(), cols, rows);
  return result;
}

}  // namespace kavo_ops
