#include "series_run.hpp"

#include "simd/targets.hpp"
#include "time/local_time.hpp"
#include "time/mktime_check.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace py = pybind11;

namespace {

// Rows converted between two looks at pending signals: a few milliseconds.
constexpr std::size_t rows_between_signal_checks = std::size_t{1} << 16;

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
    const py::gil_scoped_acquire gil;
    ssize_t count = -1;
    PyObject* got = PyObject_CallFunction(file.read.ptr(), "n", static_cast<Py_ssize_t>(size));
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
        file.failure.emplace();  // takes the exception just raised
        errno = EIO;
    }
    return count;
}

[[noreturn]] void raise_error(PyObject* type, const py::object& value)
{
    PyErr_SetObject(type, value.ptr());
    throw py::error_already_set();
}

// Opens the file read-only, the GIL released, as open() may wait (a FIFO).
void open_path(series_run& r, const std::string& path)
{
    int error = 0;
    {
        const py::gil_scoped_release released;
        r.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (r.fd >= 0 && fstat(r.fd, &info) == 0 && S_ISDIR(info.st_mode)) {
            close(r.fd);
            r.fd = -1;
            errno = EISDIR;
        }
        error = errno;
    }
    if (r.fd < 0) {
        raise_error(PyExc_OSError, py::make_tuple(error, std::strerror(error), r.name));
    }
}

// The source's bytes, decompressed where they are compressed, for the reader.
void take_source(series_run& r, const std::string& kind, const py::object& source)
{
    byte_source raw{};
    if (kind == "path") {
        open_path(r, source.cast<std::string>());
        raw.fd = r.fd;
    } else if (kind == "bytes") {
        if (PyObject_GetBuffer(source.ptr(), &r.memory.view, PyBUF_SIMPLE) != 0) {
            throw py::error_already_set();
        }
        r.memory.held = true;
        raw = {-1, read_memory, &r.memory};
    } else if (kind == "file") {
        r.file.read = source.attr("read");
        raw = {-1, read_file_object, &r.file};
    } else {
        throw py::type_error("unknown kind of source: " + kind);
    }
    start_log_input(r.input, raw);
    start_reader(r.run.reader, log_bytes(r.input), r.fd);
}

}  // namespace

series_run::~series_run()
{
    if (memory.held) {
        PyBuffer_Release(&memory.view);
    }
    if (fd >= 0) {
        close(fd);
    }
    end_log_input(input);
}

void start_series_run(series_run& r, const std::string& kind, const py::object& source,
                      const py::object& name, const std::optional<std::string>& tz, bool strict)
{
    r.fd = -1;
    r.name = name;
    r.strict = strict;
    if (tz && tz->find('\0') != std::string::npos) {
        throw py::value_error("tz holds a NUL character");
    }
    // Without tz, the process's zone as it is now, for the whole run.
    if (!zone_setting_of(tz ? tz->c_str() : std::getenv("TZ"), r.zone)) {
        throw py::value_error("the zone is longer than the " +
                              std::to_string(zone_setting_room - 1) + " bytes a run keeps of TZ");
    }
    take_source(r, kind, source);
}

namespace {

// The zone read and the vector target chosen as the filter's main does, in
// the run's first turn: the check of mktime also leaves mktime's memory of
// its last offset as a fresh process has it, so that the first record of
// every run converts as the filter's first record does.
void start_conversion(series_run& r)
{
    start_local_time(r.run.local_time, mktime_follows_previous_offset());
    r.target = best_target(targets_here());
    r.started = true;
}

// Converts one block in a turn of its own, the GIL released; nullopt when
// the process's TZ could not be kept for the turn. A block after another
// run's turn first puts back the offset of this run's last mktime call,
// which the conversion keeps (a fresh process's 0 before any call), so that
// mktime goes on as it would have without the other run.
std::optional<filter_loop::run_end> convert_block(series_run& r, row_block& block)
{
    const py::gil_scoped_release released;
    zone_turn turn(r.zone, &r);
    if (!turn.usable()) {
        return std::nullopt;
    }
    if (!r.started) {
        start_conversion(r);
    } else if (turn.follows_another_run()) {
        turn.set_mktime_offset(r.run.local_time.mktime_offset);
    }
    return run_block(r.run, block, r.target);
}

// The read that ended the loop early: what the file object raised, the
// archive's fault, or the errno of the failed read.
[[noreturn]] void raise_read_error(series_run& r)
{
    if (r.file.failure) {
        throw py::error_already_set(*r.file.failure);
    }
    if (r.input.fault != nullptr) {
        const std::string what =
            std::string(format_name(r.input.format)) + " data: " + r.input.fault;
        if (std::strcmp(r.input.fault, "unexpected end of file") == 0) {
            const py::str message(what + " (the archive is cut short)");
            raise_error(PyExc_EOFError,
                        r.name.is_none() ? message : py::str("{}: {}").format(r.name, message));
        }
        raise_error(PyExc_OSError, py::make_tuple(EBADMSG, what, r.name));
    }
    const int error = r.run.reader.error;
    raise_error(PyExc_OSError, py::make_tuple(error, std::strerror(error), r.name));
}

// Raises for a block that ended otherwise than full or at the log's end.
void raise_if_failed(series_run& r, const std::optional<filter_loop::run_end>& end,
                     const row_block& block)
{
    if (!end) {
        throw py::value_error("the process's TZ is longer than a run can keep and restore");
    }
    if (block.refused) {
        throw py::value_error("line " + std::to_string(r.tally.line_number) +
                              " is not a record: " + r.tally.fault.reason);
    }
    if (*end == filter_loop::run_end::zone_fault) {
        const zone_changes& zone = r.run.local_time.zone;
        raise_error(PyExc_OSError, py::str(std::string(zone.fault_file) + ": " + zone.fault));
    }
    if (*end == filter_loop::run_end::input_ended && r.run.reader.error != 0) {
        raise_read_error(r);
    }
}

}  // namespace

std::size_t fill_rows(series_run& r, series_row* rows, std::size_t room)
{
    std::size_t count = 0;
    while (count < room && !r.ended) {
        row_block block{rows + count, 0, std::min(room - count, rows_between_signal_checks),
                        r.strict ? &r.tally : nullptr, false};
        const std::optional<filter_loop::run_end> end = convert_block(r, block);
        count += block.count;
        // The loop stops early only when the block is full; any other end
        // is the run's.
        r.ended = !end || *end != filter_loop::run_end::front_end || block.refused;
        if (r.ended) {
            raise_if_failed(r, end, block);
        }
        if (PyErr_CheckSignals() != 0) {
            r.ended = true;
            throw py::error_already_set();
        }
    }
    return count;
}
