#include "raise.hpp"
#include "series_run.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

ssize_t read_memory(void* context, char* buffer, std::size_t size)
{
    memory_source& memory = *static_cast<memory_source*>(context);
    const std::size_t count =
        std::min(size, static_cast<std::size_t>(memory.view.len) - memory.taken);
    std::memcpy(buffer, static_cast<const char*>(memory.view.buf) + memory.taken, count);
    memory.taken += count;
    return static_cast<ssize_t>(count);
}

// read(size) on the file object, which must give a bytes-like object of at
// most size bytes. Whatever it raised is kept for the run, and the read
// fails with EIO.
ssize_t read_file_object(void* context, char* buffer, std::size_t size)
{
    file_object_source& file = *static_cast<file_object_source*>(context);
    const PyGILState_STATE gil = PyGILState_Ensure();
    ssize_t count = -1;
    PyObject* got = PyObject_CallFunction(file.read, "n", static_cast<Py_ssize_t>(size));
    Py_buffer view;
    if (got != nullptr && PyObject_GetBuffer(got, &view, PyBUF_SIMPLE) == 0) {
        if (static_cast<std::size_t>(view.len) <= size) {
            std::memcpy(buffer, view.buf, static_cast<std::size_t>(view.len));
            count = view.len;
        } else {
            PyErr_Format(PyExc_ValueError, "read(%zu) gave %zd bytes", size, view.len);
        }
        PyBuffer_Release(&view);
    }
    Py_XDECREF(got);
    if (count < 0) {
        keep_raised(file.failure);
        file.failed = true;
        errno = EIO;
    }
    PyGILState_Release(gil);
    return count;
}

// Opens the file read-only, the GIL released, as open() may wait (a FIFO).
bool open_path(series_run& r, PyObject* path)
{
    const char* file = PyBytes_AsString(path);
    if (file == nullptr) {
        return false;
    }
    int error = 0;
    PyThreadState* const saved = PyEval_SaveThread();
    r.fd = open_log(file);
    error = errno;
    PyEval_RestoreThread(saved);
    return r.fd >= 0 || raise_errno(r, error);
}

// The source's bytes, decompressed where they are compressed, for the run.
bool take_source(series_run& r, const char* kind, PyObject* source, run_source& taken)
{
    byte_source raw{};
    if (std::strcmp(kind, "path") == 0) {
        if (!open_path(r, source)) {
            return false;
        }
        raw.fd = r.fd;
    } else if (std::strcmp(kind, "bytes") == 0) {
        if (PyObject_GetBuffer(source, &r.memory.view, PyBUF_SIMPLE) != 0) {
            return false;
        }
        r.memory.held = true;
        raw = {-1, read_memory, &r.memory};
    } else if (std::strcmp(kind, "file") == 0) {
        r.file.read = PyObject_GetAttrString(source, "read");
        if (r.file.read == nullptr) {
            return false;
        }
        raw = {-1, read_file_object, &r.file};
    } else {
        PyErr_Format(PyExc_TypeError, "unknown kind of source: %s", kind);
        return false;
    }
    taken = start_log_source(r.log, raw, r.fd);
    // A file object's read may wait, on a pipe or a socket, and has no
    // descriptor to ask first: every read counts as one that may wait.
    taken.always_may_wait = r.file.read != nullptr;
    return true;
}

// The run's zone: tz, or without it the process's zone as the run's first
// turn finds it, for the whole run.
bool take_zone(PyObject* tz, zone_setting& zone)
{
    if (tz == Py_None) {
        zone.from_process = true;
        return true;
    }
    PyObject* encoded = PyUnicode_EncodeFSDefault(tz);
    if (encoded == nullptr) {
        return false;
    }
    const char* value = PyBytes_AS_STRING(encoded);
    if (std::strlen(value) != static_cast<std::size_t>(PyBytes_GET_SIZE(encoded))) {
        Py_DECREF(encoded);
        PyErr_SetString(PyExc_ValueError, "tz holds a NUL character");
        return false;
    }
    zone = {false, true, value};
    Py_DECREF(encoded);
    return true;
}

}  // namespace

series_run::~series_run()
{
    end_run(converting);
    if (memory.held) {
        PyBuffer_Release(&memory.view);
    }
    if (fd >= 0) {
        close(fd);
    }
    end_log_source(log);
    Py_XDECREF(name);
    Py_XDECREF(file.read);
    Py_XDECREF(file.failure.type);
    Py_XDECREF(file.failure.value);
    Py_XDECREF(file.failure.trace);
}

bool start_series_run(series_run& r, run_choices choices, const char* kind, PyObject* source,
                      PyObject* name, const series_choices& asked)
{
    r.fd = -1;
    Py_INCREF(name);
    r.name = name;
    run_plan plan;
    plan.form = &rows_form;
    plan.rule = asked.strict ? record_rule::every_line : record_rule::none;
    plan.shared_process = true;
    plan.threads = asked.threads != 0 ? asked.threads : processors_available();
    plan.chunk_size = asked.chunk_size;
    run_source taken;
    if (!take_zone(asked.tz, plan.zone) || !take_source(r, kind, source, taken)) {
        return false;
    }
    r.converting = start_run(taken, plan, choices);
    return r.converting != nullptr || raise_errno(r, ENOMEM);
}
