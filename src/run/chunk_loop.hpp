// The loop over one chunk of a log held in memory, for a run on several
// threads: the pieces cut, parsed and converted as the run's loop does it
// (run_loop.hpp), each line into the chunk's own output, which the run
// hands on in the log's order. A chunk converted ahead of its turn starts
// from a guessed state and may not call mktime; it stops before the line
// that would, to be taken up again once its start is known to be right.
#pragma once

#include "data/stage_data.hpp"
#include "input/line_reader.hpp"
#include "record/parse_record.hpp"
#include "record/record_check.hpp"
#include "run/line_sinks.hpp"
#include "series/series_line.hpp"
#include "time/local_time.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace run_loop {

// The state of a chunk's conversion, as run_state without the reader and the
// writer: the pieces come from memory, the output goes to the chunk.
struct chunk_state {
    const char* next;  // the rest of the chunk's pieces: next to end
    const char* end;
    bool ends_log;  // the log ends with the chunk: its last piece needs no newline
    record_line line;
    unsigned window_tokens;
    bool pending;  // the line is parsed, and its conversion waits for mktime
    stamped_record record;
    local_time_state local_time;
    bool referenced;
    std::time_t reference_second;
};

enum class chunk_end {
    done,          // every piece of the chunk was taken
    needs_mktime,  // the pending line needs mktime, which the conversion may not call
    full,          // the output has no room for another line
    refused,       // the line just parsed broke the record rule
};

// A line of the check's listing: the line within the chunk, and why.
struct listed_line {
    std::uint64_t line_in_chunk;
    record_fault why;
    char text[4 * 60 + 4];
};

inline constexpr std::size_t chunk_listing_room = 10;

// What a chunk's lines became, in the form the plan asks for, and the count
// of its lines.
struct chunk_output {
    line_check check;
    char* text;
    std::size_t text_used, text_room;
    series_row* rows;
    std::size_t rows_used, rows_room;
    listed_line listed[chunk_listing_room];
    std::size_t listed_count;
};

// Keeps the line just found not to be a record for the listing.
void list_line(chunk_output& o, const record_line& line);

// The chunk's sinks: each line's text, row or place in the listing, into
// the chunk's output, with room checked before a piece is taken.
struct chunk_text {
    static constexpr bool converts = true;
    static bool has_room(const chunk_output& o)
    {
        return o.text_room - o.text_used >= series_line_room;
    }
    template <class level>
    static void take(chunk_output& o, const chunk_state& c, const converted_time& converted)
    {
        o.text_used =
            static_cast<std::size_t>(format_series_line<level>(o.text + o.text_used, converted,
                                                               c.reference_second, c.record) -
                                     o.text);
    }
};

struct chunk_rows {
    static constexpr bool converts = true;
    static bool has_room(const chunk_output& o) { return o.rows_used < o.rows_room; }
    template <class level>
    static void take(chunk_output& o, const chunk_state& c, const converted_time& converted)
    {
        o.rows[o.rows_used++] = row_of(converted, c.reference_second, c.record);
    }
};

struct chunk_listing {
    static constexpr bool converts = false;
    static bool has_room(const chunk_output& /*o*/) { return true; }
    template <class level>
    static void take(chunk_output& /*o*/, const chunk_state& /*c*/, const converted_time& /*none*/)
    {
    }
};

// The piece's conversion and its line; false when the rule refuses it.
template <class level, class sink>
bool take_line(chunk_state& c, chunk_output& o)
{
    converted_time converted{};
    if constexpr (sink::converts) {
        converted = convert_record(c.record, c.local_time);
        if (c.local_time.deferred) {
            c.local_time.deferred = false;
            c.pending = true;
            return true;
        }
        if (!c.referenced) {
            c.reference_second = converted.record_seconds;
            c.referenced = true;
        }
    }
    if constexpr (sink::converts) {
        if (!o.check.passes(c.line, c.window_tokens, c.record)) {
            return false;
        }
    } else if (tally_piece(o.check.tally, c.line, c.window_tokens, c.record) ==
                   piece_verdict::not_a_record &&
               o.listed_count < chunk_listing_room) {
        list_line(o, c.line);
    }
    sink::template take<level>(o, c, converted);
    return true;
}

// Converts the chunk's pieces from where it stopped, a pending line first.
template <class level, class sink>
chunk_end convert_chunk(chunk_state& c, chunk_output& o)
{
    for (;;) {
        if (!c.pending) {
            if (!sink::has_room(o)) {
                return chunk_end::full;
            }
            const std::size_t length = piece_length<level>(
                c.next, std::min(static_cast<std::size_t>(c.end - c.next), record_line::max_length),
                [&c] { return c.ends_log; });
            if (length == 0) {
                return chunk_end::done;
            }
            c.line = {c.next, length};
            c.next += length;
            c.window_tokens = parse_record<level>(c.line, c.record);
        }
        c.pending = false;
        if (!take_line<level, sink>(c, o)) {
            return chunk_end::refused;
        }
        if (c.pending) {
            return chunk_end::needs_mktime;
        }
    }
}

}  // namespace run_loop
