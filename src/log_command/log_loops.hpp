// stamp_series_log's two runs on the filter's loop: the conversion, each
// line checked as it goes by, and --check, which converts nothing.
#pragma once

#include "filter_loop.hpp"
#include "record/record_check.hpp"

#include <cstdint>
#include <ctime>

// The conversion's front end: each line written as the filter writes it,
// and checked. A first line that is not a record stops the run before
// anything is written, since every time would count from it, as does any
// later one under --strict; other later ones are counted.
struct checked_series {
    static constexpr bool converts = true;
    bool strict;
    bool refused;  // stopped at a line that is not a record
    record_tally tally;

    template <class level>
    bool take(filter_loop::run_state& run, unsigned window_tokens, const converted_time& converted,
              std::time_t reference_second)
    {
        if (tally_piece(tally, run.line, window_tokens, run.record) ==
                piece_verdict::not_a_record &&
            (strict || tally.line_number == 1)) {
            refused = true;
            return false;
        }
        return filter_loop::write_series_line<level>(run.writer, converted, reference_second,
                                                     run.record);
    }
    static bool flush(filter_loop::run_state& run) { return flush_series(run.writer); }
};

// --check's front end: the first lines that are not records listed into
// the writer, each with why, and all of them counted.
struct record_listing {
    static constexpr bool converts = false;
    static constexpr std::uint64_t listed_lines = 10;
    const char* name;  // the log's, for the listing
    record_tally tally;

    template <class level>
    bool take(filter_loop::run_state& run, unsigned window_tokens, const converted_time& /*none*/,
              std::time_t /*none*/)
    {
        return tally_piece(tally, run.line, window_tokens, run.record) !=
                   piece_verdict::not_a_record ||
               tally.non_records > listed_lines || list_line(run);
    }
    static bool flush(filter_loop::run_state& run) { return flush_series(run.writer); }

    // "LOG:LINE: REASON: TEXT" for the line just found not to be a record.
    bool list_line(filter_loop::run_state& run) const;
};

// The loops on the vector target given (one of targets_here()).
filter_loop::run_end convert_log(filter_loop::run_state& run, checked_series& out,
                                 std::int64_t target);
filter_loop::run_end check_log(filter_loop::run_state& run, record_listing& out,
                               std::int64_t target);
