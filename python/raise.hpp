// Python exceptions through the C API, with the GIL held, for the functions
// of a run that fail with false and an exception set: the raise_ functions
// give false, to be returned.
#pragma once

#include "series_run.hpp"

#include <Python.h>

#include <cstring>

// The exception just raised, kept (Python 3.12 has calls of its own for it).
inline void keep_raised(kept_exception& kept)
{
#if PY_VERSION_HEX >= 0x030C0000
    kept.value = PyErr_GetRaisedException();
#else
    PyErr_Fetch(&kept.type, &kept.value, &kept.trace);
#endif
}

inline void raise_kept(kept_exception& kept)
{
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(kept.value);
#else
    PyErr_Restore(kept.type, kept.value, kept.trace);
#endif
    kept = {};
}

// Raises type(*args), args a new tuple or nullptr (then an exception is set).
inline bool raise_with(PyObject* type, PyObject* args)
{
    if (args != nullptr) {
        PyErr_SetObject(type, args);
        Py_DECREF(args);
    }
    return false;
}

// OSError (or the subclass of its errno) for the run's path, or none.
inline bool raise_errno(const series_run& r, int error)
{
    return raise_with(PyExc_OSError, Py_BuildValue("(isO)", error, std::strerror(error), r.name));
}
