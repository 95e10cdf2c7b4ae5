#!/bin/sh
# stamp_series_log on two threads, with chunks of 1, 2, 3 and 7 lines' worth
# (1 byte: every line a chunk of its own), over the differential corpora in
# every zone and rule: the same status, messages and series as on one
# thread, and, where it converts, the reference filter's series. Every
# fifth log also goes through standard input, compressed.
# usage: log_chunks_test.sh STAMP_SERIES_LOG DIFFERENTIAL_TEST REFERENCE_FILTER [EVERY]
#   where EVERY takes every so many zones and rules, as the differential test does
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
log_command=$(realpath "$1")
"$2" --every "${4:-1}" --write-inputs "$dir" "$3" > /dev/null ||
    { echo "the corpora could not be written"; exit 1; }
cd "$dir" || exit 1
failures=0 logs=0
for log in *.log; do
    n=${log%.log} logs=$((logs + 1))
    if [ -f "$n.tz" ]; then TZ=$(cat "$n.tz") && export TZ; else unset TZ; fi
    "$log_command" -j 1 "$log" one.txt 2> one.err; status=$?
    [ $status -ne 0 ] || cmp -s one.txt "$n.out" || { echo "$log: one thread differs from the reference"; failures=$((failures + 1)); }
    mean=$(($(wc -c < "$log") / ($(wc -l < "$log") + 1) + 1))
    for size in 1 $((2 * mean)) $((3 * mean)) $((7 * mean)); do
        if [ $((n % 5)) -eq 0 ] && [ "$size" -ne 1 ]; then
            gzip -c "$log" | "$log_command" -j 2 --chunk-size=$size - two.txt 2> two.err; got=$?
            sed -i "s/^stamp_series_log: standard input/stamp_series_log: $log/" two.err
        else
            "$log_command" -j 2 --chunk-size=$size "$log" two.txt 2> two.err; got=$?
        fi
        if [ $got -ne $status ] || ! cmp -s one.err two.err || { [ $status -eq 0 ] && ! cmp -s one.txt two.txt; }; then
            [ $failures -lt 5 ] && echo "$log in ${TZ-(TZ unset)}, chunks of $size bytes: status $got, not $status" &&
                diff one.err two.err | head -n 4
            failures=$((failures + 1))
            break
        fi
    done
done
echo "$logs logs, $failures differ"
[ $failures -eq 0 ] && [ $logs -gt 50 ]
