// What a record is, against the table of records and near-records that the
// log command's test reads too (tests/install/record_lines.txt): the verdict
// and the reason of the definition, and the same from the quick way that
// takes the window scan's word, on every target here.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "record_check_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "parse_text.hpp"
#include "record/record_check.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"
#include "simd/targets.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

// The verdict on one piece, starting a log, and the reason where it is not a record.
std::string verdict_of(const std::string& piece)
{
    stamped_record record{};
    const unsigned tokens = parse_text<vector_kernel>(piece, record);
    record_tally tally{};
    const bool record_found = tally_piece(tally, record_line{piece.data(), piece.size()}, tokens,
                                          record) == piece_verdict::record;
    return record_found ? "R" : std::string("N | ") + tally.fault.reason;
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace {

// A line of the table, written with printf %b's escapes.
std::string decoded(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = i + 1 < text.size() && text[i] == '\\' ? text[++i] : '\0';
        const std::size_t octal =
            c == '0' ? std::min(text.find_first_not_of("01234567", i + 1), text.size()) : i + 1;
        const std::size_t digits = std::min<std::size_t>(octal - i - 1, 3);
        switch (c) {
            case '\0': bytes += text[i]; break;
            case 't': bytes += '\t'; break;
            case 'v': bytes += '\v'; break;
            case 'f': bytes += '\f'; break;
            case 'r': bytes += '\r'; break;
            case '0':
                bytes += static_cast<char>(
                    digits == 0 ? 0 : std::stoi(text.substr(i + 1, digits), nullptr, 8));
                i += digits;
                break;
            default: bytes += c;
        }
    }
    return bytes;
}

}  // namespace

namespace kernel {
constexpr target_entry<std::string(const std::string&)> verdicts[] = {TARGET_ENTRIES(verdict_of)};
}  // namespace kernel

namespace {

TEST(record_check, gives_the_verdict_and_reason_of_the_table_on_every_target_here)
{
    std::ifstream table(RECORD_LINES);
    int rows = 0;
    for (std::string row; std::getline(table, row);) {
        if (row.empty() || row[0] == '#') continue;
        ++rows;
        const std::size_t bar = row.find(" | ");
        const std::size_t end = std::min(bar, row.size());
        const std::size_t start = std::min<std::size_t>(2, end);
        const std::string line = decoded(row.substr(start, end - start)) + "\n";
        const std::string want = row[0] + (bar == std::string::npos ? "" : row.substr(bar));
        SCOPED_TRACE(row);
        record_fault why{};
        EXPECT_EQ(
            explain_record(line.data(), line.size(), why) ? "R" : "N | " + std::string(why.reason),
            want);
        for (std::int64_t rest = targets_here(); rest != 0; rest &= rest - 1) {
            SCOPED_TRACE(target_name(best_target(rest)));
            EXPECT_EQ(entry_for(kernel::verdicts,
                                best_target(rest))(line.substr(0, record_line::max_length)),
                      want);
        }
    }
    EXPECT_GE(rows, 40);
}

}  // namespace
#endif
