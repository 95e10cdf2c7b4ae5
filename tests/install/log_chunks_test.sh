#!/bin/sh
# stamp_series_log on two threads, with chunks of 1, 2, 3 or 7 lines' worth
# (1 byte: every line a chunk of its own), taken in turn log by log over the
# differential corpora in every zone and rule: the same status, messages and
# series as on one thread, and, where it converts, the reference filter's
# series. Every fifth log goes through standard input, compressed, and
# every fourth is listed with --check as well.
# usage: log_chunks_test.sh STAMP_SERIES_LOG DIFFERENTIAL_TEST REFERENCE_FILTER [EVERY]
#   where EVERY takes every so many zones and rules, as the differential test does
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
log_command=$(realpath "$1")
"$2" --every "${4:-1}" --write-inputs "$dir" "$3" > /dev/null ||
    { echo "the corpora could not be written"; exit 1; }
cd "$dir" || exit 1
failures=0 logs=0
differ() {  # what, then the status of one thread and of two
    failures=$((failures + 1))
    [ $failures -le 5 ] && echo "$log in ${TZ-(TZ unset)}, chunks of $size bytes, $1: status $3, not $2" &&
        diff one.out two.out | head -n 4
}
for log in *.log; do
    n=${log%.log} logs=$((logs + 1))
    if [ -f "$n.tz" ]; then TZ=$(cat "$n.tz") && export TZ; else unset TZ; fi
    mean=$(($(wc -c < "$log") / ($(wc -l < "$log") + 1) + 1))
    size=$(echo "1 $((2 * mean)) $((3 * mean)) $((7 * mean))" | cut -d' ' -f$((n % 4 + 1)))
    "$log_command" -j 1 "$log" one.txt 2> one.err; status=$?
    [ $status -ne 0 ] || cmp -s one.txt "$n.out" || differ "one thread against the reference" 0 0
    if [ $((n % 5)) -eq 0 ]; then
        gzip -c "$log" | "$log_command" -j 2 --chunk-size=$size - two.txt 2> two.err; got=$?
        sed -i "s/^stamp_series_log: standard input/stamp_series_log: $log/" two.err
    else
        "$log_command" -j 2 --chunk-size=$size "$log" two.txt 2> two.err; got=$?
    fi
    cat one.err > one.out && cat two.err > two.out
    [ $status -ne 0 ] || { cat one.txt >> one.out && cat two.txt >> two.out; }
    [ $got -eq $status ] && cmp -s one.out two.out || differ "converting" $status $got
    if [ $((n % 4)) -eq 1 ]; then
        "$log_command" -j 1 --check "$log" > one.out 2>&1; status=$?
        "$log_command" -j 2 --check --chunk-size=$size "$log" > two.out 2>&1; got=$?
        [ $got -eq $status ] && cmp -s one.out two.out || differ "--check" $status $got
    fi
done
echo "$logs logs, $failures differ"
[ $failures -eq 0 ] && [ $logs -gt 50 ]
