// Seeded generator of stamped-record logs for comparing stamp_series with the
// reference filter. Dates are local times of this process's time zone (TZ as
// set here), and one seed always gives the same bytes.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

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

// Instants in [from, to) at which the zone's UTC offset or daylight-saving
// flag changes: the first second under the new rules.
std::vector<std::int64_t> zone_transitions(std::int64_t from, std::int64_t to);

// Records a second or so apart, now and then weeks ahead or hours back.
std::string well_formed_log(corpus_rng& rng, int lines);
// Odd tokens and separators, NUL, CR, cut, overlong and blank lines; no final newline.
std::string mangled_lines(corpus_rng& rng, int lines);
// Per transition: records just before and after it and in its gap or overlap,
// then back in the gap or overlap from the far side, with blank lines between.
std::string transition_walks(corpus_rng& rng, std::span<const std::int64_t> transitions);
// Records at random local dates and times from 1800 to 2200.
std::string random_dates(corpus_rng& rng, int lines);
