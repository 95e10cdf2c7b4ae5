// What a run does with each line, for the loop of run_loop.hpp: the sinks of
// lines, one for each form of output a front end may ask for. Each is
// compiled into the loop of every vector target (run_loops.cpp).
#pragma once

#include "data/stage_data.hpp"
#include "record/record_check.hpp"
#include "run/run_loop.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace run_loop {

// The check of each line by a record_rule: every line counted, and the
// first one that the rule refuses stops the run before its line is taken.
struct line_check {
    record_rule rule;
    bool refused;  // stopped at a line that is not a record
    record_tally tally;
    bool later_part = false;  // the lines counted are a later part of the log, without its first

    // False when the rule refuses the piece just parsed into record.
    bool passes(const record_line& line, unsigned window_tokens, const stamped_record& record)
    {
        if (rule == record_rule::none ||
            tally_piece(tally, line, window_tokens, record) != piece_verdict::not_a_record) {
            return true;
        }
        refused = rule == record_rule::every_line || (tally.line_number == 1 && !later_part);
        return !refused;
    }
};

// The numbers of a line of the series.
inline series_row row_of(const converted_time& converted, std::time_t reference_second,
                         const stamped_record& record)
{
    return {converted.record_time - static_cast<double>(reference_second), record.channel_1,
            record.channel_2, record.channel_3,
            static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u)};
}

// Each line of the series into the writer, as the filter writes it; with
// `checked`, each line checked first by the rule.
template <bool checked>
struct text_lines {
    static constexpr bool converts = true;
    line_check check;

    template <class level>
    bool take(run_state& run, unsigned window_tokens, const converted_time& converted,
              std::time_t reference_second)
    {
        if constexpr (checked) {
            if (!check.passes(run.line, window_tokens, run.record)) {
                return false;
            }
        }
        return write_series_line<level>(run.writer, converted, reference_second, run.record);
    }
    static bool flush(run_state& run) { return flush_series(run.writer); }
};

// Each line's row into rows[count] on until room is reached, which stops the
// loop (room is at least 1). A read that may wait stops it too, with
// waiting set, so that the run can wait outside its turn with the C
// library's time state.
struct row_lines {
    static constexpr bool converts = true;
    line_check check;
    series_row* rows;
    std::size_t count;
    std::size_t room;
    bool waiting;

    template <class level>
    bool take(run_state& run, unsigned window_tokens, const converted_time& converted,
              std::time_t reference_second)
    {
        if (!check.passes(run.line, window_tokens, run.record)) {
            return false;
        }
        rows[count++] = row_of(converted, reference_second, run.record);
        return count < room;
    }
    bool flush(run_state& /*run*/)
    {
        waiting = true;
        return false;
    }
};

// Nothing converted: the first lines that are not records listed into the
// writer, each with why, and all of them counted.
struct listed_lines {
    static constexpr bool converts = false;
    static constexpr std::uint64_t listed_lines_at_most = 10;
    const char* name;  // the log's, for the listing
    record_tally tally;

    template <class level>
    bool take(run_state& run, unsigned window_tokens, const converted_time& /*none*/,
              std::time_t /*none*/)
    {
        return tally_piece(tally, run.line, window_tokens, run.record) !=
                   piece_verdict::not_a_record ||
               tally.non_records > listed_lines_at_most || list_line(run);
    }
    static bool flush(run_state& run) { return flush_series(run.writer); }

    // "LOG:LINE: REASON: TEXT" for the line just found not to be a record.
    bool list_line(run_state& run) const;
};

}  // namespace run_loop
