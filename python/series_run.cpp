#include "series_run.hpp"
#include "raise.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Rows converted between two looks at pending signals: a few tens of
// milliseconds on one thread. Each look also stops a run's threads until
// the next drive, which waits for the chunks they are converting: fewer
// looks keep them busier.
constexpr std::size_t rows_between_signal_checks = std::size_t{1} << 18;

// The read that stopped the run: what the file object raised, or the errno
// of the failed read.
bool raise_read_error(series_run& r, int error)
{
    if (r.file.failed) {
        r.file.failed = false;
        raise_kept(r.file.failure);
        return false;
    }
    return raise_errno(r, error);
}

bool raise_compressed_fault(series_run& r, const run_outcome& o)
{
    if (std::strcmp(o.fault, "unexpected end of file") != 0) {
        PyObject* what = PyUnicode_FromFormat("%s data: %s", o.format, o.fault);
        return what != nullptr &&
               raise_with(PyExc_OSError, Py_BuildValue("(iNO)", EBADMSG, what, r.name));
    }
    if (r.name == Py_None) {
        PyErr_Format(PyExc_EOFError, "%s data: %s (the archive is cut short)", o.format, o.fault);
    } else {
        PyErr_Format(PyExc_EOFError, "%S: %s data: %s (the archive is cut short)", r.name, o.format,
                     o.fault);
    }
    return false;
}

// Raises for a run that ended otherwise than at the log's end.
bool raise_for(series_run& r, const run_outcome& o)
{
    switch (o.end) {
        case run_end::more:
        case run_end::input_ended:
        case run_end::output_failed: return true;
        case run_end::not_a_record:
            PyErr_Format(PyExc_ValueError, "line %llu is not a record: %s",
                         static_cast<unsigned long long>(o.line_number), o.reason.reason);
            return false;
        case run_end::zone_fault:
            PyErr_Format(PyExc_OSError, "%s: %s", o.zone_file.c_str(), o.fault);
            return false;
        case run_end::read_failed: return raise_read_error(r, o.error);
        case run_end::compressed_fault: return raise_compressed_fault(r, o);
    }
    return true;
}

}  // namespace

bool fill_rows(series_run& r, series_row* rows, std::size_t room, std::size_t& count)
{
    count = 0;
    while (count < room && !r.ended) {
        std::size_t block = 0;
        PyThreadState* const saved = PyEval_SaveThread();
        const run_outcome outcome =
            drive_run(*r.converting, rows + count,
                      std::min(room - count, rows_between_signal_checks), &block);
        PyEval_RestoreThread(saved);
        count += block;
        r.ended = outcome.end != run_end::more;
        if (r.ended && !raise_for(r, outcome)) {
            return false;
        }
        if (PyErr_CheckSignals() != 0) {
            r.ended = true;
            return false;
        }
    }
    return true;
}
