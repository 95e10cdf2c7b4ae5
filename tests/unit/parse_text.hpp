// Hands text to parse_record as one piece of input, the way the reader does.
#pragma once

#include "line_reader.hpp"
#include "stamped_record.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

inline void parse_text(std::string_view text, stamped_record& record)
{
    record_line line{};
    std::memcpy(line.text, text.data(), std::min(text.size(), record_line::max_length));
    parse_record(line, record);
}
