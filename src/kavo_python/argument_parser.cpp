#include "kavo_python/argument_parser.h"

#include <cstring>
#include <string>

#include "kavo_python/python_errors.h"

namespace kavo_python {
namespace {

std::string callable_name(const Signature& s) { return std::string(s.name) + "()"; }

// "a", "a and b": parameter names in a note, without quotes.
std::string plain_names(const std::array<const char*, kMaxParameters>& names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += i + 1 == count ? " and " : ", ";
    out += names[i];
  }
  return count == 0 ? "nothing" : out;
}

std::string arguments_word(std::size_t count) { return count == 1 ? " argument" : " arguments"; }

std::string quoted_names(const std::array<const char*, kMaxParameters>& names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += count > 2 ? ", " : " ";
    if (i > 0 && i + 1 == count) out += "and ";
    out += "'" + std::string(names[i]) + "'";
  }
  return out;
}

bool too_many_positional(const Signature& s, Py_ssize_t given) {
  std::string verb = given == 1 ? "was" : "were";
  std::string takes = s.required == s.parameter_count
                          ? std::to_string(s.parameter_count)
                          : "from " + std::to_string(s.required) + " to " + std::to_string(s.parameter_count);
  raise_type_error(callable_name(s) + " takes " + takes + " positional arguments but " + std::to_string(given) +
                   " " + verb + " given");
  add_note_to_raised(signature_text(s) + " takes at most " + std::to_string(s.parameter_count) +
                     arguments_word(s.parameter_count) + "; got " + std::to_string(given) + " positional" +
                     arguments_word(static_cast<std::size_t>(given)));
  return false;
}

}  // namespace

std::string signature_text(const Signature& s) {
  std::string out = std::string(s.name) + "(";
  for (std::size_t p = 0; p < s.parameter_count; ++p) {
    if (p > 0) out += ", ";
    out += s.parameters[p];
    if (p >= s.required) out += "=None";
  }
  return out + ")";
}

bool parse_arguments(const Signature& s, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     ArgumentSlots& slots) {
  slots.fill(nullptr);
  if (nargs > static_cast<Py_ssize_t>(s.parameter_count)) return too_many_positional(s, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

  Py_ssize_t keyword_count = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < keyword_count; ++k) {
    const char* keyword = PyUnicode_AsUTF8(PyTuple_GET_ITEM(kwnames, k));
    if (!keyword) return false;
    std::size_t match = s.parameter_count;
    for (std::size_t p = 0; p < s.parameter_count; ++p) {
      if (std::strcmp(keyword, s.parameters[p]) == 0) match = p;
    }
    if (match == s.parameter_count) {
      raise_type_error(callable_name(s) + " got an unexpected keyword argument '" + keyword + "'");
      add_note_to_raised(signature_text(s) + " takes the keywords " + plain_names(s.parameters, s.parameter_count) +
                         "; got " + keyword);
      return false;
    }
    if (slots[match]) {
      raise_type_error(callable_name(s) + " got multiple values for argument '" + keyword + "'");
      add_note_to_raised(std::string(keyword) + " must be given once, by position or by keyword; got both (" +
                         signature_text(s) + ")");
      return false;
    }
    slots[match] = args[nargs + k];
  }

  std::array<const char*, kMaxParameters> missing{};
  std::array<const char*, kMaxParameters> given{};
  std::size_t missing_count = 0;
  std::size_t given_count = 0;
  for (std::size_t p = 0; p < s.parameter_count; ++p) {
    if (slots[p]) {
      given[given_count++] = s.parameters[p];
    } else if (p < s.required) {
      missing[missing_count++] = s.parameters[p];
    }
  }
  if (missing_count > 0) {
    raise_type_error(callable_name(s) + " missing " + std::to_string(missing_count) + " required positional " +
                     (missing_count == 1 ? "argument" : "arguments") + ": " +
                     quoted_names(missing, missing_count));
    add_note_to_raised(signature_text(s) + " needs " + plain_names(s.parameters, s.required) + "; got " +
                       plain_names(given, given_count));
    return false;
  }
  return true;
}

void wrap_argument_error(const char* parameter) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
  PyObject* cause = PyErr_GetRaisedException();
  PyObject* message = PyUnicode_FromFormat("argument '%s': %S", parameter, cause);
  PyObject* wrapped = message ? PyObject_CallOneArg(PyExc_TypeError, message) : nullptr;
  Py_XDECREF(message);
  if (!wrapped) {  // the failure to wrap stays raised
    Py_DECREF(cause);
    return;
  }
  PyException_SetCause(wrapped, cause);  // takes over the reference to cause
  PyErr_SetRaisedException(wrapped);
}

}  // namespace kavo_python
