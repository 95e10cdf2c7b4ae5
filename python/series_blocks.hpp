// The Python package's front end of the loop: each piece's row of the series
// into a block of rows that numpy reads as a structured array, and, in a
// strict run, each line checked to be a record before its row is taken.
#pragma once

#include "filter_loop.hpp"
#include "record/record_check.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

// One row of the series: the numbers of the filter's output line, in its
// order, with no padding between them (stamp_series/__init__.py documents
// the field names, which numpy takes from here).
struct series_row {
    double elapsed;  // the very double the filter prints with "%.3f"
    std::int32_t channel_1;
    std::int32_t channel_2;
    std::int32_t channel_3;
    std::int32_t twice_channel_4;  // wrapped in 32 bits, as the filter wraps it
};
static_assert(sizeof(series_row) == 24 && alignof(series_row) == 8);

// The front end: rows go to rows[count] on until room is reached, which ends
// the block (room is at least 1). With strict_tally, the first line that is
// not a record ends it before its row, with refused set and the reason in
// the tally. A read that may wait ends it too, with waiting set, so that the
// run waits for its input outside its turn with the C library's time state.
struct row_block {
    static constexpr bool converts = true;

    series_row* rows;
    std::size_t count;
    std::size_t room;
    record_tally* strict_tally;
    bool refused;
    bool waiting;

    template <class level>
    bool take(filter_loop::run_state& run, unsigned window_tokens, const converted_time& converted,
              std::time_t reference_second)
    {
        if (strict_tally != nullptr && tally_piece(*strict_tally, run.line, window_tokens,
                                                   run.record) == piece_verdict::not_a_record) {
            refused = true;
            return false;
        }
        const stamped_record& record = run.record;
        rows[count] = {
            converted.record_time - static_cast<double>(reference_second), record.channel_1,
            record.channel_2, record.channel_3,
            static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u)};
        ++count;
        return count < room;
    }
    // Called before a read that may wait.
    bool flush(filter_loop::run_state& /*run*/)
    {
        waiting = true;
        return false;
    }
};

// run_loop with this front end, on the vector target given (one bit of
// targets_here()).
filter_loop::run_end run_block(filter_loop::run_state& run, row_block& block, std::int64_t target);
