#!/bin/sh
# stamp_series_log from outside, as a user runs it, with no stamp_series on
# PATH. Every line of RECORD_LINES, alone, must convert and pass --check when
# it is a record, and fail both when it is not, with the table's reason; the
# whole file, plain and compressed, must list its first ten non-records and
# their count. Then one table of runs, each over an older series that a
# failed run must leave as it was.
# usage: log_command_test.sh STAMP_SERIES STAMP_SERIES_LOG RECORD_LINES
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
fail() { echo "$*"; exit 1; }
for tool in gzip xz zstd; do command -v $tool > /dev/null || fail "$tool not found: apt-get install xz-utils zstd"; done
filter=$1 && log_command=$2 && cd "$dir" || exit 1
PATH=/usr/bin:/bin  # no stamp_series on it: the command needs none

grep -v '^#' "$3" | while IFS= read -r row; do text=${row%% | *} && printf '%b\n' "${text#?}" | cut -c2-; done > all.log
grep -v '^#' "$3" | sed 's/^\(.\)[^|]*\( | \)\{0,1\}/\1\2/' > verdicts
sed -n 1p all.log > good.log && "$filter" < good.log > good.txt
(echo header && cat good.log) > header.log
(cat good.log && echo 'Mon Spt 17 12:34:56 2001 250 -12 34 -5 170' && cat good.log) > later.log
for log in good header all; do gzip -k $log.log && xz -k $log.log && zstd -q $log.log; done
head -c 80 all.log.gz > cut.log.gz && head -c 80 all.log.xz > cut.log.xz && head -c 20 all.log.zst > cut.log.zst
cp all.log.xz bad.log.xz && printf 'XXXX' | dd of=bad.log.xz bs=1 seek=40 conv=notrunc 2> /dev/null

n=0
while IFS= read -r verdict; do
    n=$((n + 1)) && sed -n ${n}p all.log > one.log && want=0 && [ "${verdict%% *}" = N ] && want=1
    "$log_command" --check one.log > listing; checked=$?
    "$log_command" one.log one.txt 2> err; converted=$?
    [ "$checked$converted" = "$want$want" ] || fail "line $n ($verdict): --check $checked, converting $converted"
    [ "$want" = 0 ] || grep -qF "(${verdict#N | });" err || fail "line $n: not '${verdict#N | }': $(cat err)"
done < verdicts
for log in all.log all.log.zst; do
    "$log_command" --check $log > listing; status=$?
    listed=$(cut -d: -f2 listing | tr '\n' ' ')
    wanted="$(grep -n '^N' verdicts | head -n 10 | cut -d: -f1 | tr '\n' ' ') $(grep -c '^N' verdicts) lines are not records "
    [ $status -eq 1 ] && [ "$listed" = "$wanted" ] || fail "--check $log: status $status, listing $listed, not $wanted"
done

# Each run: its standard input, its arguments, the status, a pattern its
# messages must match, and what out.txt holds after it: the new series
# ("new"), or still the older one ("old").
while IFS='|' read -r input args status expected after; do
    echo older > out.txt
    "$log_command" $args < "$input" > stdout 2> err; got=$?
    case $after in new) cmp -s out.txt good.txt ;; old) [ "$(cat out.txt)" = older ] ;; *) true ;; esac &&
        [ $got -eq "$status" ] && { [ -z "$expected" ] || grep -q -- "$expected" err stdout; } ||
        fail "$args < $input: status $got, out.txt $(head -c 60 out.txt): $(cat err stdout)"
done << TABLE
good.log|good.log out.txt|0||new
good.log|- out.txt|0||new
good.log.gz|- out.txt|0||new
good.log.xz|- out.txt|0||new
good.log.zst|- out.txt|0||new
good.log|good.log.zst out.txt|0||new
good.log|later.log out.txt|0|^stamp_series_log: later.log: 1 line is not a record (line 2: month 'Spt' unknown); see --check$|
good.log|--strict later.log out.txt|1|^stamp_series_log: later.log:2: not a record (month 'Spt' unknown)|old
good.log|header.log out.txt|1|^stamp_series_log: header.log:1: not a record (1 token); every time would count from it; see --check$|old
header.log|- out.txt|1|^stamp_series_log: standard input:1: not a record|old
good.log|header.log.xz out.txt|1|: header.log.xz:1: not a record|old
good.log|cut.log.gz out.txt|1|^stamp_series_log: cut.log.gz: gzip data: unexpected end of file$|old
cut.log.xz|- out.txt|1|^stamp_series_log: standard input: xz data: |old
good.log|cut.log.zst out.txt|1|: cut.log.zst: zstd data: |old
good.log|bad.log.xz out.txt|1|: bad.log.xz: xz data: |old
good.log|--check cut.log.gz|1|: cut.log.gz: gzip data: |old
good.log|missing.log out.txt|1|^stamp_series_log: missing.log: No such file or directory$|old
good.log|. out.txt|1|^stamp_series_log: .: Is a directory$|old
good.log|good.log /nonexistent/dir/out.txt|1|^stamp_series_log: /nonexistent/dir/out.txt: No such file or directory$|old
good.log|good.log /dev/full|1|^stamp_series_log: /dev/full: No space left on device$|old
good.log|good.log /dev/null|0||old
good.log|good.log good.log|1|the series would overwrite the log|old
good.log|--bogus good.log|2|^stamp_series_log: unknown option '--bogus'$|old
good.log|--bogus good.log|2|^stamp_series_log: try 'stamp_series_log --help'|old
good.log|--check good.log out.txt|2|^stamp_series_log: |old
good.log|-h|0|^usage: stamp_series_log |
good.log|--help|0|^  --  |
TABLE

# A symbolic link is replaced at its target, which keeps its permission bits.
echo older > target.txt && chmod 640 target.txt && ln -s target.txt link.txt &&
    "$log_command" good.log link.txt && [ -L link.txt ] && cmp -s target.txt good.txt &&
    [ "$(stat -c %a target.txt)" = 640 ] || fail "the link's target not replaced, or its mode lost"
