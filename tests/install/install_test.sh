#!/bin/sh
# Builds the Debian package with the package preset, in a directory of its
# own outside the source tree, and checks what it holds: the binary, stripped and on the system's
# C library; stamp_series_log beside it; the manual pages and changelog,
# compressed; the copyright file; the example. The packaged binary's output
# on the sample log, and stamp_series_log's, must be the reference filter's,
# and a second build of the same source, in a directory
# of its own, must give the same bytes (but with STAMP_SERIES_REBUILT_ELSEWHERE
# set). With PYTHON3 (the python3 that the
# build found numpy and pybind11 for), the same for the Python package's
# package: for that python3 and numpy, its module stripped, its files
# compiled at install and cleaned at removal, and its rows,
# formatted, the reference filter's lines.
# The packages are left in KEEP_DIR, for lintian.
# usage: install_test.sh SOURCE_DIR VERSION REFERENCE_FILTER KEEP_DIR [PYTHON3]
set -u
stage=$(mktemp -d) && trap 'rm -rf "$stage"' EXIT
fail() { echo "$*"; exit 1; }
cd "$1" || exit 1
# The package preset's configuration and build, then cpack, into dir.
build_package() {
    { cmake --preset package -B "$1" && cmake --build "$1" -j2 &&
        cpack --config "$1/CPackConfig.cmake" -B "$1"; } > "$stage/log" 2>&1 ||
        { cat "$stage/log"; fail "package build in $1 failed"; }
}
build_package "$stage/first"
deb=$stage/first/stamp-series_$2_$(dpkg --print-architecture).deb
dpkg-deb -x "$deb" "$stage/root" || exit 1
python_deb=$stage/first/python3-${deb##*/}
debs=$deb
if [ -n "${5-}" ]; then
    debs="$deb $python_deb"
    dpkg-deb -x "$python_deb" "$stage/root" || exit 1
fi

doc=$stage/root/usr/share/doc/stamp-series
bin=$stage/root/usr/bin/stamp_series
for file in "$bin" "${bin}_log" "$doc/copyright" "$doc/examples/plot.gp"; do
    test -f "$file" || fail "not in the package: ${file#"$stage/root"}"
done
for page in stamp_series stamp_series_log; do
    zcat "$stage/root/usr/share/man/man1/$page.1.gz" | cmp - docs/$page.1 ||
        fail "compressed manual page missing or not docs/$page.1"
done
"${bin}_log" --version | grep -qx "stamp_series_log $2" || fail "stamp_series_log --version is not $2"
zcat "$doc/changelog.gz" | head -n 1 | grep -q "^stamp-series ($2) " ||
    fail "changelog.gz missing, or its latest entry is not version $2"

# Without dpkg-shlibdeps, CPack leaves the C library out of Depends silently.
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>= ' || fail "Depends lacks libc6: $(dpkg-deb -f "$deb" Depends)"
readelf -S "$bin" | grep -q '\.symtab' && fail "binary not stripped"
needed=$(readelf -d "$bin" | grep NEEDED)
echo "$needed" | grep -q 'libc\.so' || fail "binary not linked to the shared C library"
echo "$needed" | grep -v -e 'libc\.so' -e 'libm\.so' -e 'ld-linux' && fail "binary needs more than the C library"
dpkg-deb -f "$deb" Depends | grep -q hwy && fail "Depends names Highway: $(dpkg-deb -f "$deb" Depends)"

"$bin" < examples/sample.log > "$stage/out"; status=$?
"$3" < examples/sample.log > "$stage/expected"
test "$status" -eq 1 || fail "packaged binary exited with $status"
cmp "$stage/out" "$stage/expected" || fail "packaged binary's output is not the reference filter's"
PATH=${bin%/*}:$PATH "${bin}_log" examples/sample.log | cmp - "$stage/expected" ||
    fail "packaged stamp_series_log's output is not the reference filter's"

if [ -n "${5-}" ]; then
    dpkg-deb -f "$python_deb" Depends | grep -q 'python3 (<< 3\.[0-9]*), python3-numpy' ||
        fail "Depends lacks python3 or numpy: $(dpkg-deb -f "$python_deb" Depends)"
    # CPack leaves out maintainer scripts it does not find, silently.
    dpkg-deb -I "$python_deb" postinst | grep -q '^	py3compile -p python3-stamp-series$' &&
        dpkg-deb -I "$python_deb" prerm | grep -q '^	py3clean -p python3-stamp-series$' ||
        fail "postinst or prerm does not compile or clean the package's Python files"
    module=$(echo "$stage"/root/usr/lib/python3/dist-packages/stamp_series/_native.*.so)
    test -f "$module" || fail "not in the package: the Python module"
    readelf -S "$module" | grep -q '\.symtab' && fail "Python module not stripped"
    PYTHONPATH=${module%/stamp_series/*} "$5" -c 'import stamp_series, sys
for row in stamp_series.read_series(sys.argv[1]).tolist(): print("%.3f %d %d %d %d" % row)' \
        examples/sample.log | cmp - "$stage/expected" || fail "the Python package's rows are not the reference's lines"
    PYTHONPATH=${module%/stamp_series/*} "$5" -c 'import stamp_series, sys
sys.exit(stamp_series.__version__ != sys.argv[1])' "$2" || fail "stamp_series.__version__ is not $2"
fi

# CI builds the same source twice on one system already, and sets
# STAMP_SERIES_REBUILT_ELSEWHERE for its run on another.
if [ -z "${STAMP_SERIES_REBUILT_ELSEWHERE-}" ]; then
    build_package "$stage/again"
    for built in $debs; do
        cmp "$built" "$stage/again/${built##*/}" || fail "two builds of one source gave different packages"
    done
fi
rm -rf "$4" && mkdir -p "$4" && cp $debs "$4"/
