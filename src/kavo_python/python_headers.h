#pragma once
// The one way this module includes CPython's API.

#define PY_SSIZE_T_CLEAN
#include <Python.h>
