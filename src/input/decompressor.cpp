#include "input/decompressor.hpp"

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr unsigned char gzip_magic[] = {0x1F, 0x8B};
constexpr unsigned char xz_magic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
constexpr unsigned char zstd_magic[] = {0x28, 0xB5, 0x2F, 0xFD};

template <std::size_t size>
bool starts_with(const unsigned char* head, std::size_t length, const unsigned char (&magic)[size])
{
    return length >= size && std::memcmp(head, magic, size) == 0;
}

}  // namespace

// One of the three libraries' states. gzip's members are read one after the
// other; `between` says the last one has ended and no other has begun.
struct decompressor {
    log_format format;
    z_stream gzip;
    bool between;
    bool padding;  // zero bytes after the last member
    lzma_stream xz;
    ZSTD_DStream* zstd;
    bool frame_open;
};

log_format format_of(const unsigned char* head, std::size_t size)
{
    return starts_with(head, size, gzip_magic)   ? log_format::gzip
           : starts_with(head, size, xz_magic)   ? log_format::xz
           : starts_with(head, size, zstd_magic) ? log_format::zstd
                                                 : log_format::plain;
}

const char* format_name(log_format format)
{
    switch (format) {
        case log_format::gzip: return "gzip";
        case log_format::xz: return "xz";
        case log_format::zstd: return "zstd";
        case log_format::plain: break;
    }
    return "plain";
}

decompressor* make_decompressor(log_format format)
{
    auto* d =
        new (std::nothrow) decompressor{format, {}, false, false, LZMA_STREAM_INIT, nullptr, false};
    if (d == nullptr) {
        return nullptr;
    }
    bool made = false;
    switch (format) {
        // 16 + 15: a gzip wrapper around a window of up to 32 KiB.
        case log_format::gzip: made = inflateInit2(&d->gzip, 16 + MAX_WBITS) == Z_OK; break;
        case log_format::xz:
            made = lzma_stream_decoder(&d->xz, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
            break;
        case log_format::zstd: made = (d->zstd = ZSTD_createDStream()) != nullptr; break;
        case log_format::plain: break;
    }
    if (!made) {
        free_decompressor(d);
        return nullptr;
    }
    return d;
}

void free_decompressor(decompressor* d)
{
    if (d == nullptr) {
        return;
    }
    switch (d->format) {
        case log_format::gzip: inflateEnd(&d->gzip); break;
        case log_format::xz: lzma_end(&d->xz); break;
        case log_format::zstd: ZSTD_freeDStream(d->zstd); break;
        case log_format::plain: break;
    }
    delete d;
}

namespace {

// After a gzip member: another member, or zero bytes of padding to the end;
// anything else is garbage.
unpack_step between_members(decompressor& d, const unsigned char* in, std::size_t size, bool last)
{
    constexpr const char* garbage = "trailing garbage after the compressed data";
    if (!d.padding && size > 0 && in[0] != 0) {
        if (size < sizeof gzip_magic && !last) {
            return {0, 0, true, nullptr};  // the rest of the magic is yet to come
        }
        if (!starts_with(in, size, gzip_magic)) {
            return {0, 0, true, garbage};
        }
        inflateReset(&d.gzip);
        d.between = false;
        return {0, 0, false, nullptr};
    }
    std::size_t zeros = 0;
    while (zeros < size && in[zeros] == 0) {
        ++zeros;
    }
    d.padding = d.padding || zeros > 0;
    return {zeros, 0, true, zeros < size ? garbage : nullptr};
}

unpack_step unpack_gzip(decompressor& d, const unsigned char* in, std::size_t in_size, char* out,
                        std::size_t out_size, bool last)
{
    if (d.between) {
        const unpack_step next = between_members(d, in, in_size, last);
        if (d.between) {
            return next;
        }
    }
    z_stream& z = d.gzip;
    z.next_in = const_cast<unsigned char*>(in);  // zlib's interface; it only reads
    z.avail_in = static_cast<uInt>(in_size);
    z.next_out = reinterpret_cast<unsigned char*>(out);
    z.avail_out = static_cast<uInt>(out_size);
    const int status = inflate(&z, Z_NO_FLUSH);
    const auto used = in_size - z.avail_in;
    const auto produced = out_size - z.avail_out;
    if (status == Z_STREAM_END) {
        d.between = true;
        return {used, produced, true, nullptr};
    }
    if (status == Z_OK || status == Z_BUF_ERROR) {
        return {used, produced, false, nullptr};
    }
    return {used, produced, false,
            status == Z_MEM_ERROR ? no_memory
            : z.msg != nullptr    ? z.msg
                                  : "corrupt data"};
}

const char* xz_fault(lzma_ret status)
{
    switch (status) {
        case LZMA_MEM_ERROR: return no_memory;
        case LZMA_FORMAT_ERROR: return "file format not recognized";
        case LZMA_OPTIONS_ERROR: return "unsupported options";
        case LZMA_DATA_ERROR: return "compressed data is corrupt";
        default: return "corrupt data";
    }
}

unpack_step unpack_xz(decompressor& d, const unsigned char* in, std::size_t in_size, char* out,
                      std::size_t out_size, bool last)
{
    lzma_stream& x = d.xz;
    x.next_in = in;
    x.avail_in = in_size;
    x.next_out = reinterpret_cast<std::uint8_t*>(out);
    x.avail_out = out_size;
    const lzma_ret status = lzma_code(&x, last ? LZMA_FINISH : LZMA_RUN);
    const unpack_step step{in_size - x.avail_in, out_size - x.avail_out, status == LZMA_STREAM_END,
                           nullptr};
    if (status == LZMA_OK || status == LZMA_STREAM_END || status == LZMA_BUF_ERROR) {
        return step;
    }
    return {step.used, step.produced, false, xz_fault(status)};
}

// NOLINTNEXTLINE(readability-non-const-parameter): zstd writes the output through it
unpack_step unpack_zstd(decompressor& d, const unsigned char* in, std::size_t in_size, char* out,
                        std::size_t out_size)
{
    if (in_size == 0 && !d.frame_open) {
        return {0, 0, true, nullptr};  // between frames: nothing to start another with
    }
    ZSTD_inBuffer from{in, in_size, 0};
    ZSTD_outBuffer to{out, out_size, 0};
    const std::size_t status = ZSTD_decompressStream(d.zstd, &to, &from);
    if (ZSTD_isError(status) != 0) {
        return {from.pos, to.pos, false,
                ZSTD_getErrorCode(status) == ZSTD_error_memory_allocation
                    ? no_memory
                    : ZSTD_getErrorName(status)};
    }
    // 0: a frame is decoded and flushed whole; another may follow.
    d.frame_open = status != 0;
    return {from.pos, to.pos, !d.frame_open, nullptr};
}

}  // namespace

unpack_step unpack(decompressor& d, const unsigned char* in, std::size_t in_size, char* out,
                   std::size_t out_size, bool last)
{
    switch (d.format) {
        case log_format::gzip: return unpack_gzip(d, in, in_size, out, out_size, last);
        case log_format::xz: return unpack_xz(d, in, in_size, out, out_size, last);
        case log_format::zstd: return unpack_zstd(d, in, in_size, out, out_size);
        case log_format::plain: break;
    }
    return {0, 0, true, "not compressed"};
}
