#pragma once
// The one way this extension includes the interpreter's headers.

#define PY_SSIZE_T_CLEAN
#include <Python.h>
