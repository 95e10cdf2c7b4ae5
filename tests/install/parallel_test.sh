#!/bin/sh
# The README's way of converting many logs: GNU parallel running
# stamp_series_log, one process per file, each series written next to its
# log. Every series must be what a run over that log alone gives, and a
# missing log and an unreadable one among them must fail the run, each named.
# usage: parallel_test.sh STAMP_SERIES STAMP_SERIES_LOG
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
fail() { echo "$*"; exit 1; }
# Without GNU parallel the test is skipped (status 77), not failed.
command -v parallel > /dev/null || { echo "GNU parallel not found: apt-get install parallel"; exit 77; }
mkdir "$dir/bin" "$dir/logs" && cp "$1" "$2" "$dir/bin/" && PATH=$dir/bin:$PATH && cd "$dir" || exit 1

# Logs of different lengths, dates and channels, with spaces in their names.
for n in 1 2 3 4 5; do
    awk -v n="$n" 'BEGIN { for (i = 0; i < 1000 * n; i++) { s = 3600 * n + 37 * i
        printf "Sat Mar %d %02d:%02d:%02d 2001 %d %d %d -3 %d\n",
               20 + n, s / 3600 % 24, s / 60 % 60, s % 60, i % 1000, i, n, i * n } }' > "logs/run $n.log"
done
# Root reads a file of mode 000, so root converts as nobody.
[ "$(id -u)" -eq 0 ] && as_nobody="setpriv --reuid=nobody --regid=$(id -g nobody) --clear-groups env HOME=$dir"
convert() {
    [ -z "${as_nobody:-}" ] || chown -R nobody "$dir"
    ${as_nobody:-} sh -c "find logs -name '*.log' -print0 | parallel -0 stamp_series_log -j 1 {} {.}.txt"
}

convert || fail "parallel exited with $? over readable logs"
for log in logs/*.log; do
    stamp_series < "$log" | cmp - "${log%.log}.txt" || fail "$log: not what a run over it alone gives"
done

ln -s gone.log logs/missing.log && echo > logs/locked.log && chmod 000 logs/locked.log
convert 2> err; status=$?
test "$status" -eq 2 || fail "with two bad logs, parallel exited with $status, not 2: $(cat err)"
grep -q '^stamp_series_log: logs/missing.log: ' err && grep -q '^stamp_series_log: logs/locked.log: ' err ||
    fail "the two bad logs not both named: $(cat err)"
