#include "kavo_python/call_errors.h"

#include "kavo_python/numpy_bridge/array_text.h"
#include "kavo_python/python_errors.h"

namespace kavo_python {
namespace {

// "a of shape (2, 3) and b of shape (3,)": the array arguments as given.
std::string arrays_text(const Signature& signature, const ArgumentSlots& slots) {
  std::string out;
  for (std::size_t p = 0; p < signature.parameter_count; ++p) {
    if (!slots[p] || !PyArray_Check(slots[p])) continue;
    if (!out.empty()) out += " and ";
    out += std::string(signature.parameters[p]) + " of shape " +
           shape_text(reinterpret_cast<PyArrayObject*>(slots[p]));
  }
  return out;
}

std::string shape_note(const Signature& signature, const ArgumentSlots& slots, std::string_view fix) {
  const std::string lead = *signature.shape_rule ? std::string(signature.shape_rule) + "; got "
                                                 : signature_text(signature) + " got ";
  std::string note = lead + arrays_text(signature, slots);
  if (!fix.empty()) note += ". " + std::string(fix);
  return note;
}

bool is_shape_error(const kavo::ArrayError& error) {
  return error.get_if<kavo::ShapeMismatch>() || error.get_if<kavo::IncompatibleBroadcast>();
}

// The screens name the matrix parameter `a`: it is the one they check.
std::string call_note(const Signature& signature, const ArgumentSlots& slots, const kavo::ArrayError& error,
                      std::string_view fix) {
  std::string note;
  std::string suggested;
  switch (error.failure_kind()) {
    case kavo::FailureKind::non_finite_input:
      note = "a must hold only finite values (no NaN or infinity); got " + arrays_text(signature, slots) +
             " with at least one that is not";
      break;
    case kavo::FailureKind::asymmetric_input:
      note = "a must be symmetric; got " + arrays_text(signature, slots) + " that is not";
      suggested = "(a + a.T) / 2 is its symmetric part";
      break;
    default:
      if (is_shape_error(error)) return shape_note(signature, slots, fix);
      note = signature_text(signature) + " got " + arrays_text(signature, slots);
      break;
  }
  if (!fix.empty()) suggested = fix;
  if (!suggested.empty()) note += ". " + suggested;
  return note;
}

}  // namespace

PyObject* raise_call_error(const Signature& signature, const ArgumentSlots& slots, const kavo::ArrayError& error,
                           std::string_view fix) {
  if (is_numerical_failure(error)) return raise_array_error(error);
  // Described before raising: the description calls into Python.
  const std::string note = call_note(signature, slots, error, fix);
  raise_array_error(error);
  add_note_to_raised(note);
  return nullptr;
}

PyObject* raise_shape_error(const Signature& signature, const ArgumentSlots& slots, const std::string& message,
                            std::string_view fix) {
  const std::string note = shape_note(signature, slots, fix);
  raise_value_error(message);
  add_note_to_raised(note);
  return nullptr;
}

}  // namespace kavo_python
