#!/bin/sh
# Installs the build into a scratch DESTDIR and runs the installed binary on
# the sample log; its output must be the reference filter's.
# usage: install_test.sh BUILD_DIR SAMPLE_LOG REFERENCE_FILTER
set -u
stage=$(mktemp -d) && trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$1" --prefix /usr > /dev/null || exit 1
test -f "$stage/usr/share/man/man1/stamp_series.1" || { echo "man page not installed"; exit 1; }
"$stage/usr/bin/stamp_series" < "$2" > "$stage/out"; status=$?
"$3" < "$2" > "$stage/expected"
test "$status" -eq 1 || { echo "installed binary exited with $status"; exit 1; }
cmp "$stage/out" "$stage/expected"
