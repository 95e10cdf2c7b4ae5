#!/bin/sh
# The README's way of converting many logs: GNU parallel, one process per
# file, each output written next to its log. Every output must be what a run
# over that log alone gives, and the status idiom must let the normal
# status 1 pass but not the 2 of a read error.
# usage: parallel_test.sh STAMP_SERIES
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
fail() { echo "$*"; exit 1; }
command -v parallel > /dev/null || fail "GNU parallel not found: apt-get install parallel"
mkdir "$dir/bin" "$dir/logs" && cp "$1" "$dir/bin/" && PATH=$dir/bin:$PATH && cd "$dir" || exit 1

# Logs of different lengths, dates and channels, with spaces in their names.
for n in 1 2 3 4 5; do
    awk -v n="$n" 'BEGIN { for (i = 0; i < 1000 * n; i++) { s = 3600 * n + 37 * i
        printf "Sat Mar %d %02d:%02d:%02d 2001 %d %d %d -3 %d\n",
               20 + n, s / 3600 % 24, s / 60 % 60, s % 60, i % 1000, i, n, i * n } }' > "logs/run $n.log"
done
convert() {
    find logs -name '*.log' -print0 |
      parallel -0 'stamp_series < {} > {.}.txt || [ $? -eq 1 ]'
}

convert || fail "parallel exited with $? over readable logs"
for log in logs/*.log; do
    stamp_series < "$log" | cmp - "${log%.log}.txt" || fail "$log: not what a run over it alone gives"
done

mkdir logs/unreadable.log
convert 2> err; status=$?
test "$status" -eq 1 || fail "with one unreadable log, parallel exited with $status, not 1"
grep -q 'stamp_series: read error' err || fail "no read error reported: $(cat err)"
