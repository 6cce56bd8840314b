#pragma once
// Accepting NumPy arrays as inputs. Nothing is ever converted or copied: an
// input must already be a C-contiguous array of exactly the element type and
// rank expected, and the view borrows its buffer for the call.

#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "kavo/layout/shape_arithmetic.h"
#include "kavo/view/view.h"
#include "kavo_python/argument_parser.h"
#include "kavo_python/numpy_bridge/numpy_api.h"
#include "kavo_python/python_errors.h"

namespace kavo_python {

inline constexpr int kAnyRank = -1;

// The array, if `object` is an ndarray (or subtype) of `rank` dimensions
// whose dtype is equivalent to `type_number`; else TypeError
// "argument '<name>': '<type>' object cannot be converted to 'PyArray<T, D>'".
// Every rejection below also carries a note (PEP 678) saying what the
// argument must be and what was given; the error texts stay fixed.
PyArrayObject* extract_array(PyObject* object, int type_number, int rank, const char* name);

// ValueError "<name> must be C-contiguous" unless NumPy flags it so.
bool require_c_contiguous(PyArrayObject* array, const char* name);

// ValueError "<name> must be aligned" when the data pointer is not aligned
// to the element size: kernels rely on aligned loads.
bool require_aligned(PyArrayObject* array, const char* name);

// Data pointer and storage length of an array NumPy marks contiguous in
// either order; ValueError otherwise.
bool contiguous_storage(PyArrayObject* array, const void** data, std::uint64_t* length, const char* name);

// Byte strides as element strides; ValueError unless each is a whole
// number of elements.
bool element_strides(PyArrayObject* array, std::int64_t* out, const char* name);

template <class T, std::size_t Rank>
std::optional<kavo::View<T, Rank>> input_view(PyArrayObject* array, const char* name) {
  kavo::Layout<Rank> layout;
  if (!element_strides(array, layout.strides.data(), name)) return std::nullopt;
  if (!require_aligned(array, name)) return std::nullopt;
  const npy_intp* dims = PyArray_DIMS(array);
  for (std::size_t axis = 0; axis < Rank; ++axis) layout.shape[axis] = static_cast<std::uint64_t>(dims[axis]);
  if (auto count = kavo::checked_size(layout); !count) {
    raise_array_error(count.error());
    return std::nullopt;
  }
  if (auto bounds = kavo::physical_bounds(layout); !bounds) {
    raise_array_error(bounds.error());
    return std::nullopt;
  }
  const void* data = nullptr;
  std::uint64_t length = 0;
  if (!contiguous_storage(array, &data, &length, name)) return std::nullopt;
  if (auto fits = kavo::check_storage(layout, length); !fits) {
    raise_array_error(fits.error());
    return std::nullopt;
  }
  return kavo::View<T, Rank>{static_cast<const T*>(data), length, std::move(layout)};
}

// One array parameter of a function: its argument slot, element type and
// rank (kAnyRank is not used here: rank-generic inputs have their own path).
template <class T, std::size_t Rank, std::size_t Slot = 0>
struct ArrayParameter {
  using Element = T;
  static constexpr std::size_t rank = Rank;
  static constexpr std::size_t slot = Slot;
};

template <class T, std::size_t Rank>
bool view_into(std::optional<kavo::View<T, Rank>>& out, PyArrayObject* array, const char* name) {
  out = input_view<T, Rank>(array, name);
  return out.has_value();
}

// Converts the array parameters in the fixed order: every extraction, then
// every contiguity check, then every view, each in parameter order; the
// first failure ends the conversion with its exception set.
template <class... Parameters>
std::optional<std::tuple<kavo::View<typename Parameters::Element, Parameters::rank>...>> convert_arrays(
    const Signature& signature, const ArgumentSlots& slots, Parameters...) {
  ensure_numpy_api();
  constexpr std::size_t count = sizeof...(Parameters);
  const std::array<const char*, count> names{signature.parameters[Parameters::slot]...};
  std::array<PyArrayObject*, count> arrays{};
  std::size_t i = 0;
  bool ok = ((arrays[i] = extract_array(slots[Parameters::slot], NumpyType<typename Parameters::Element>::number,
                                        static_cast<int>(Parameters::rank), names[i]),
              arrays[i++] != nullptr) &&
             ...);
  for (i = 0; ok && i < count; ++i) ok = require_c_contiguous(arrays[i], names[i]);
  if (!ok) return std::nullopt;
  std::tuple<std::optional<kavo::View<typename Parameters::Element, Parameters::rank>>...> views;
  i = 0;
  ok = std::apply([&](auto&... view) { return ((view_into(view, arrays[i], names[i]) && (++i, true)) && ...); },
                  views);
  if (!ok) return std::nullopt;
  return std::apply([](auto&... view) { return std::make_tuple(std::move(*view)...); }, views);
}

}  // namespace kavo_python

namespace kavo_python {

// An input of any rank: its data and dimensions, for functions that build
// their own row-major layout from the dimensions alone.
template <class T>
struct AnyRankInput {
  const T* data = nullptr;
  std::vector<std::uint64_t> dims;
};

template <class T>
std::optional<AnyRankInput<T>> any_rank_input(PyObject* object, const char* name) {
  ensure_numpy_api();
  PyArrayObject* array = extract_array(object, NumpyType<T>::number, kAnyRank, name);
  if (!array || !require_c_contiguous(array, name) || !require_aligned(array, name)) return std::nullopt;
  const void* data = nullptr;
  std::uint64_t length = 0;
  if (!contiguous_storage(array, &data, &length, name)) return std::nullopt;
  const npy_intp* dims = PyArray_DIMS(array);
  return AnyRankInput<T>{static_cast<const T*>(data), std::vector<std::uint64_t>(dims, dims + PyArray_NDIM(array))};
}

}  // namespace kavo_python
