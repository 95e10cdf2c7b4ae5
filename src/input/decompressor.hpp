// The three compressed formats a log may come in, each through its own
// library: gzip (zlib), xz (liblzma) and zstd (libzstd). A stream of several
// members or frames, as cat makes of two archives, is read whole; anything
// but zero bytes of padding after the last is corrupt data, and an archive
// cut short is an error, never a short log.
#pragma once

#include <cstddef>

enum class log_format { plain, gzip, xz, zstd };

// The format whose magic bytes begin `head` (plain for none). Needs the
// first six bytes, or all there are.
log_format format_of(const unsigned char* head, std::size_t size);

// "gzip", "xz", "zstd", or "plain".
const char* format_name(log_format format);

// One library's stream state, made once for a run.
struct decompressor;

// A decompressor for a compressed format; nullptr when the library cannot
// make one (no memory).
decompressor* make_decompressor(log_format format);
void free_decompressor(decompressor* d);

// What one step did.
struct unpack_step {
    std::size_t used;      // input bytes taken
    std::size_t produced;  // output bytes made
    bool finished;         // the input so far is a whole stream
    const char* fault;     // the library's reason when the data is corrupt, else nullptr
};

// The fault of a step for which the library could not get memory: no fault
// of the data.
inline constexpr const char* no_memory = "cannot allocate memory";

// Decompresses from in into out as far as either goes. With last set, no
// input follows what is given: a stream not finished then is an error.
unpack_step unpack(decompressor& d, const unsigned char* in, std::size_t in_size, char* out,
                   std::size_t out_size, bool last);
