// The data that flows from stage to stage on the road of one line: the piece
// of input that the reader hands out, the record that the scan fills, with
// its ten slots described once, and the time that the conversion gives.
// Each stage takes its inputs from here rather than from the stage before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <tuple>
#include <type_traits>

// One piece of input: length bytes at text, NUL bytes and all. Whatever the
// length, `before` bytes in front of text and `after` bytes behind
// text + max_length can be read, so that the scanner can load whole words
// and vectors near the piece's ends; it never takes them as part of it.
struct record_line {
    static constexpr std::size_t max_length = 130;
    static constexpr std::size_t before = 16;
    static constexpr std::size_t after = 128;
    const char* text;
    std::size_t length;
};

// One record, kept for the whole run. A line overwrites only the fields it
// supplies; every other field keeps what an earlier line put there. The text
// fields also keep their old bytes past a new, shorter token's terminator,
// and the time-of-day columns read those bytes.
struct stamped_record {
    char weekday_token[8];
    char month_token[8];
    std::int32_t day;
    char time_token[16];
    std::int32_t year;
    std::int32_t milliseconds;
    std::int32_t channel_1;
    std::int32_t channel_2;
    std::int32_t channel_3;
    std::int32_t channel_4;

    // Derived on every call of parse_record.
    std::int32_t hour;
    std::int32_t minute;
    std::int32_t second;
    std::int32_t month;  // 0 to 11
};

// One slot of a line: the field of the record that its token fills, and the
// longest token that the field keeps whole (a text field's size less its
// terminator; 0 for an integer, whose value saturates instead).
enum class slot_kind { text, integer };

template <class field>
struct record_slot {
    slot_kind kind;
    field stamped_record::*member;
    unsigned room;
};

template <std::size_t size>
constexpr record_slot<char[size]> text_slot(char (stamped_record::*member)[size])
{
    return {slot_kind::text, member, size - 1};
}

constexpr record_slot<std::int32_t> integer_slot(std::int32_t stamped_record::*member)
{
    return {slot_kind::integer, member, 0};
}

// The slots in the order a line gives them, separated by white space.
inline constexpr std::tuple record_slots{
    text_slot(&stamped_record::weekday_token), text_slot(&stamped_record::month_token),
    integer_slot(&stamped_record::day),        text_slot(&stamped_record::time_token),
    integer_slot(&stamped_record::year),       integer_slot(&stamped_record::milliseconds),
    integer_slot(&stamped_record::channel_1),  integer_slot(&stamped_record::channel_2),
    integer_slot(&stamped_record::channel_3),  integer_slot(&stamped_record::channel_4)};

inline constexpr int slot_count = std::tuple_size_v<decltype(record_slots)>;

// The kind and the room of each slot, by its place in the line.
inline constexpr std::array<slot_kind, slot_count> slot_kinds =
    std::apply([](const auto&... slot) { return std::array{slot.kind...}; }, record_slots);
inline constexpr std::array<unsigned, slot_count> slot_rooms =
    std::apply([](const auto&... slot) { return std::array{slot.room...}; }, record_slots);

template <class slot_field, class field>
constexpr bool fills(const record_slot<slot_field>& slot, field stamped_record::*member)
{
    if constexpr (std::is_same_v<slot_field, field>) {
        return slot.member == member;
    } else {
        return false;
    }
}

// The place in the line of the slot that fills member.
template <class field>
constexpr int slot_of(field stamped_record::*member)
{
    const std::array<bool, slot_count> filled = std::apply(
        [member](const auto&... slot) { return std::array{fills(slot, member)...}; }, record_slots);
    for (int slot = 0; slot < slot_count; ++slot) {
        if (filled[static_cast<std::size_t>(slot)]) {
            return slot;
        }
    }
    return -1;
}

constexpr int count_of(slot_kind kind)
{
    int count = 0;
    for (const slot_kind k : slot_kinds) {
        count += k == kind ? 1 : 0;
    }
    return count;
}

// A slot's place among the slots of its kind.
constexpr int place_in_kind(int slot)
{
    int place = 0;
    for (int before = 0; before < slot; ++before) {
        place += slot_kinds[static_cast<std::size_t>(before)] ==
                         slot_kinds[static_cast<std::size_t>(slot)]
                     ? 1
                     : 0;
    }
    return place;
}

// The places in the line of the slots of one kind, in order.
template <slot_kind kind>
constexpr std::array<int, count_of(kind)> slots_of()
{
    std::array<int, count_of(kind)> slots{};
    for (int slot = 0; slot < slot_count; ++slot) {
        if (slot_kinds[static_cast<std::size_t>(slot)] == kind) {
            slots[static_cast<std::size_t>(place_in_kind(slot))] = slot;
        }
    }
    return slots;
}

// What the conversion gives for a record.
struct converted_time {
    std::time_t record_seconds;  // whole seconds, as mktime gives them
    double record_time;          // record_seconds + milliseconds * 0.001
};

// One line of the series as numbers, for a front end that keeps them rather
// than text: the numbers of the filter's output line, in its order, with no
// padding between them (the Python package's numpy dtype names them).
struct series_row {
    double elapsed;  // the very double the filter prints with "%.3f"
    std::int32_t channel_1;
    std::int32_t channel_2;
    std::int32_t channel_3;
    std::int32_t twice_channel_4;  // wrapped in 32 bits, as the filter wraps it
};
static_assert(sizeof(series_row) == 24 && alignof(series_row) == 8);
