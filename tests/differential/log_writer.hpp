// The pieces the log generators share: a seeded random source and the
// writing of one record line.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

// Raw engine output mapped by hand: the same bytes with any standard library.
class corpus_rng {
public:
    explicit corpus_rng(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t raw() { return engine_(); }
    std::int64_t between(std::int64_t low, std::int64_t high)  // inclusive, high - low < 2^62
    {
        return low +
               static_cast<std::int64_t>(engine_() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool chance(int percent) { return between(0, 99) < percent; }
    template <typename T, std::size_t n>
    const T& pick(const T (&table)[n])
    {
        return table[between(0, n - 1)];
    }

private:
    std::mt19937_64 engine_;
};

using record_tokens = std::array<std::string, 10>;

// The ten tokens of a record at a local time: an instant's in this process's
// zone, or one given as seconds of the local calendar counted as if they
// were UTC (a wall time).
record_tokens tokens_at(std::int64_t seconds, bool wall, corpus_rng& rng);

// The first count tokens, separated by single spaces or, with
// odd_separators, by random runs of white space.
std::string joined(const record_tokens& line, std::size_t count, bool odd_separators,
                   corpus_rng& rng);

// Appends the record at that time, and now and then a blank line after it.
void put_record(std::string& out, std::int64_t seconds, bool wall, corpus_rng& rng,
                int blank_percent = 20);
