#pragma once
// Results handed to NumPy. A buffer already in row-major order from offset 0
// becomes the array's memory through a keeper object, without a copy;
// anything else is first gathered into a new buffer in logical order.
// Needs the interpreter lock.

#include <cstdint>

#include "kavo/iter/element_iter.h"
#include "kavo/layout/contiguity.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo_python/numpy_bridge/numpy_api.h"
#include "kavo_python/numpy_bridge/slice_container.h"
#include "kavo_python/python_errors.h"

namespace kavo_python {

// A writeable rank-1 array of `count` elements of type `type_number` over
// `data`, owned by `keeper` (its reference is taken over).
PyObject* vector_over_keeper(void* data, std::uint64_t count, int item_size, int type_number, PyObject* keeper);

// Reshapes a rank-1 array (its reference is taken over) to `shape`; the
// rank-1 array becomes the base of the result.
PyObject* reshape_vector(PyObject* vector, const std::uint64_t* shape, int rank);

template <class T>
PyObject* output_vector(kavo::Buffer<T> buffer) {
  const std::uint64_t count = buffer.size();
  T* data = buffer.release();
  PyObject* keeper = new_slice_container(data, count, count, kavo::Buffer<T>::free_routine());
  return vector_over_keeper(data, count, sizeof(T), NumpyType<T>::number, keeper);
}

template <class T, std::size_t Rank>
PyObject* output_array(kavo::OwnedArray<T, Rank> result) {
  const kavo::Layout<Rank> layout = result.layout();
  const std::uint64_t count = kavo::size(layout);
  kavo::Buffer<T> buffer;
  if (layout.offset == 0 && kavo::is_c_contiguous(layout) && result.storage_len() == count) {
    buffer = std::move(result).take_buffer();
  } else {
    buffer = kavo::Buffer<T>(count);
    auto walk = kavo::elements(result.view());
    for (std::uint64_t i = 0; i < count; ++i) buffer[i] = *walk.next();
  }
  PyObject* vector = output_vector(std::move(buffer));
  if (!vector) return nullptr;
  return reshape_vector(vector, layout.shape.data(), static_cast<int>(Rank));
}

}  // namespace kavo_python
