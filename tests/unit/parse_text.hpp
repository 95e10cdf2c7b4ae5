// Hands text to parse_record as one piece of input, the way the reader does:
// in a buffer with room before and after it, which here holds digits and
// spaces, so that a scan that read past the piece would pick them up.
#pragma once

#include "data/stage_data.hpp"
#include "record/parse_record.hpp"

#include <hwy/highway.h>

#include "simd/kernel-inl.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

// Gives what parse_record gives: the window scan's count of tokens, or 0.
template <class level = kernel::HWY_NAMESPACE::vector_kernel>
unsigned parse_text(std::string_view text, stamped_record& record)
{
    char buffer[record_line::before + record_line::max_length + record_line::after];
    for (std::size_t i = 0; i < sizeof buffer; ++i)
        buffer[i] = i % 3 == 0 ? ' ' : '7';
    char* const start = buffer + record_line::before;
    const std::size_t length = std::min(text.size(), record_line::max_length);
    std::memcpy(start, text.data(), length);
    return parse_record<level>(record_line{start, length}, record);
}
