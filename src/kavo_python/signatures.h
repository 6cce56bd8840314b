#pragma once
// Name and parameters of each of the module's functions, from the one list.

#include <cstddef>

#include "kavo_python/argument_parser.h"
#include "kavo_python/function_list.h"

namespace kavo_python::signatures {

template <class... Names>
consteval std::size_t count_of(Names...) {
  return sizeof...(Names);
}

#define KAVO_PYTHON_SIGNATURE(name, required, shape_rule, description, ...) \
  inline constexpr Signature name{#name, {__VA_ARGS__}, count_of(__VA_ARGS__), required, shape_rule};
KAVO_PYTHON_FUNCTIONS(KAVO_PYTHON_SIGNATURE)
#undef KAVO_PYTHON_SIGNATURE

}  // namespace kavo_python::signatures
