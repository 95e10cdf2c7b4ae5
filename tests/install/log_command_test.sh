#!/bin/sh
# stamp_series_log under dash and under bash. Every line of RECORD_LINES,
# alone, must pass --check and convert when it is a record, and fail both
# when it is not; the whole file, plain and compressed, must list its first
# ten non-records and their count. Then one table of runs: logs that are
# missing, compressed (.gz, .xz, .zst), truncated, headed, on standard input;
# a write error, a signal, a missing decompressor. A failed run must leave no
# series behind.
# usage: log_command_test.sh STAMP_SERIES STAMP_SERIES_LOG RECORD_LINES
set -u
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
fail() { echo "$*"; exit 1; }
for tool in xz zstd; do command -v $tool > /dev/null || fail "$tool not found: apt-get install xz-utils zstd"; done
mkdir "$dir/bin" "$dir/bare" "$dir/stand_in" && cp "$1" "$2" "$dir/bin/" && cp "$3" "$dir/lines" &&
    PATH=$dir/bin:$PATH && cd "$dir" || exit 1
# A PATH with what the script needs but xz; a filter that a signal ends.
for tool in cat head grep sed tee rm gzip stamp_series; do ln -s "$(command -v $tool)" bare/; done
printf '#!/bin/sh\necho half; kill $$\n' > stand_in/stamp_series && chmod +x stand_in/stamp_series

grep -v '^#' lines | while IFS= read -r row; do text=${row#?} && printf '%b\n' "${text# }"; done > all.log
grep -v '^#' lines | cut -c1 > verdicts
sed -n 1p all.log > good.log && stamp_series < good.log > good.txt
(echo header && cat good.log) > header.log
for log in good header all; do gzip -k $log.log && xz -k $log.log && zstd -q $log.log; done
head -c 80 all.log.gz > cut.log.gz && head -c 80 all.log.xz > cut.log.xz && head -c 20 all.log.zst > cut.log.zst

for sh in "$(command -v dash)" "$(command -v bash)"; do
    n=0
    while read -r verdict; do
        n=$((n + 1)) && sed -n ${n}p all.log > one.log && want=0 && [ "$verdict" = N ] && want=1
        "$sh" bin/stamp_series_log --check one.log > /dev/null; checked=$?
        "$sh" bin/stamp_series_log one.log one.txt 2> /dev/null; converted=$?
        [ "$checked$converted" = "$want$want" ] || fail "$sh: line $n, a $verdict line: --check $checked, converting $converted"
    done < verdicts
    for log in all.log all.log.zst; do
        "$sh" bin/stamp_series_log --check $log > listing; status=$?
        listed=$(cut -d: -f2 listing | tr '\n' ' ')
        wanted="$(grep -n N verdicts | head -n 10 | cut -d: -f1 | tr '\n' ' ') $(grep -c N verdicts) lines are not records "
        [ $status -eq 1 ] && [ "$listed" = "$wanted" ] && ! grep -q "^$log:[0-9]*: .\{61\}" listing ||
            fail "$sh --check $log: status $status, listing $listed, not $wanted"
    done
    while IFS='|' read -r path input args status expected; do
        rm -f out.txt
        PATH=$path "$sh" bin/stamp_series_log $args < "$input" > out 2> err; got=$?
        case $status in 0) [ ! -e out.txt ] || cmp -s out.txt good.txt ;; *) [ ! -e out.txt ] ;; esac &&
            [ $got -eq "$status" ] && { [ -z "$expected" ] || grep -q -- "$expected" err out; } || fail "$sh $args: status $got: $(cat err out)"
    done << TABLE
$PATH|good.log|missing.log out.txt|1|missing.log: No such file
$PATH|good.log|good.log /dev/full|1|could not read it or write
$dir/stand_in:$PATH|good.log|good.log out.txt|1|signal 15
$PATH|good.log|- out.txt|0|
$PATH|good.log|good.log.gz out.txt|0|
$PATH|good.log|good.log.xz out.txt|0|
$PATH|good.log|good.log.zst out.txt|0|
$PATH|good.log|--check good.log.xz|0|
$PATH|good.log|header.log out.txt|1|^stamp_series_log: header.log:1: not a record; every time would count from it (remove it first, e.g. with sed 1d)$
$PATH|header.log|- out.txt|1|: standard input:1: not a record; every time
$PATH|good.log|header.log.xz out.txt|1|: header.log.xz:1: not a record; every time
$PATH|good.log|cut.log.gz out.txt|1|: cut.log.gz: not converted: gzip could not decompress it
$PATH|good.log|cut.log.xz out.txt|1|: cut.log.xz: not converted: xz could not decompress it
$PATH|good.log|cut.log.zst out.txt|1|: cut.log.zst: not converted: zstd could not decompress it
$PATH|good.log|--check cut.log.gz|1|: cut.log.gz: not checked: gzip could not decompress it
$dir/bare|good.log|good.log.xz out.txt|1|: good.log.xz: not converted: xz not found
$PATH|good.log|--help|0|^usage: stamp_series_log LOG
$PATH|good.log|--check good.log out.txt|2|^usage:
TABLE
done
