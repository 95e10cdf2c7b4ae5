#include "series_run.hpp"
#include "raise.hpp"

#include "simd/targets.hpp"
#include "time/local_time.hpp"
#include "time/mktime_check.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Rows converted between two looks at pending signals: a few milliseconds.
constexpr std::size_t rows_between_signal_checks = std::size_t{1} << 16;

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

// Converts one block in a turn of its own, the GIL released. A block after another
// run's turn first puts back the offset of this run's last mktime call,
// which the conversion keeps (a fresh process's 0 before any call), so that
// mktime goes on as it would have without the other run. After a read
// taken outside the turn, the zone file is looked at again before what was
// read is converted, as the loop does after its own reads.
filter_loop::run_end convert_block(series_run& r, row_block& block)
{
    filter_loop::run_end end{};
    PyThreadState* const saved = PyEval_SaveThread();
    {
        const zone_turn turn(r.zone, &r);
        if (!r.started) {
            start_conversion(r);
        } else if (turn.follows_another_run()) {
            set_mktime_offset(r.run.local_time.mktime_offset);
        }
        if (r.read_outside) {
            follow_zone_file(r.run.local_time);
            r.read_outside = false;
        }
        end = run_block(r.run, block, r.target);
    }
    PyEval_RestoreThread(saved);
    return end;
}

// A read that may wait (a pipe, a named pipe, a file object), taken with
// the GIL released and outside any turn, so that other runs convert
// meanwhile.
void read_outside_turn(series_run& r)
{
    PyThreadState* const saved = PyEval_SaveThread();
    refill(r.run.reader);
    PyEval_RestoreThread(saved);
    r.read_outside = true;
}

// The read that ended the loop early: what the file object raised, the
// archive's fault, or the errno of the failed read.
bool raise_read_error(series_run& r)
{
    if (r.file.failed) {
        r.file.failed = false;
        raise_kept(r.file.failure);
        return false;
    }
    const char* fault = r.input.fault;
    if (fault == nullptr) {
        return raise_errno(r, r.run.reader.error);
    }
    const char* format = format_name(r.input.format);
    if (std::strcmp(fault, "unexpected end of file") != 0) {
        PyObject* what = PyUnicode_FromFormat("%s data: %s", format, fault);
        return what != nullptr &&
               raise_with(PyExc_OSError, Py_BuildValue("(iNO)", EBADMSG, what, r.name));
    }
    if (r.name == Py_None) {
        PyErr_Format(PyExc_EOFError, "%s data: %s (the archive is cut short)", format, fault);
    } else {
        PyErr_Format(PyExc_EOFError, "%S: %s data: %s (the archive is cut short)", r.name, format,
                     fault);
    }
    return false;
}

// Raises for a block that ended otherwise than full or at the log's end.
bool check_block_end(series_run& r, filter_loop::run_end end, const row_block& block)
{
    if (block.refused) {
        PyErr_Format(PyExc_ValueError, "line %llu is not a record: %s",
                     static_cast<unsigned long long>(r.tally.line_number), r.tally.fault.reason);
        return false;
    }
    if (end == filter_loop::run_end::zone_fault) {
        const zone_changes& zone = r.run.local_time.zone;
        PyErr_Format(PyExc_OSError, "%s: %s", zone.fault_file, zone.fault);
        return false;
    }
    return end != filter_loop::run_end::input_ended || r.run.reader.error == 0 ||
           raise_read_error(r);
}

}  // namespace

bool fill_rows(series_run& r, series_row* rows, std::size_t room, std::size_t& count)
{
    count = 0;
    while (count < room && !r.ended) {
        row_block block{rows + count,
                        0,
                        std::min(room - count, rows_between_signal_checks),
                        r.strict ? &r.tally : nullptr,
                        false,
                        false};
        const filter_loop::run_end end = convert_block(r, block);
        count += block.count;
        // The loop stops early only when the block is full or its input must
        // wait; any other end is the run's.
        r.ended = end != filter_loop::run_end::front_end || block.refused;
        if (r.ended && !check_block_end(r, end, block)) {
            return false;
        }
        if (block.waiting) {
            read_outside_turn(r);
        }
        if (PyErr_CheckSignals() != 0) {
            r.ended = true;
            return false;
        }
    }
    return true;
}
