#!/bin/sh
# The wheel is self-contained, as auditwheel's repair leaves a wheel: each
# shared object in it needs (DT_NEEDED) only libraries on manylinux's list
# (the C library, libm, libpthread, libdl, librt, libgcc_s and the loader)
# or ones that the wheel carries beside it, which it finds through an
# $ORIGIN run path. Prints the newest version of glibc's symbols that the
# wheel uses, the glibc it needs at the least.
# usage: wheel_test.sh WHEEL
set -u
fail() { echo "$*"; exit 1; }
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
python3 -m zipfile -e "$1" "$dir" || fail "$1: not a wheel"
on_manylinux_list() {
    case $1 in
        libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | librt.so.1 | libgcc_s.so.1) ;;
        ld-linux-x86-64.so.2 | ld-linux-aarch64.so.1) ;;
        *) return 1 ;;
    esac
}
objects=$(find "$dir" -type f -name '*.so*')
echo "$objects" | grep -q '/_native\.[^/]*\.so$' || fail "$1 holds no module"
for object in $objects; do
    name=${object#"$dir"/}
    for needed in $(readelf -d "$object" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'); do
        echo "$name needs $needed"
        on_manylinux_list "$needed" && continue
        test -f "${object%/*}/$needed" ||
            fail "$name needs $needed, neither on manylinux's list nor beside it in the wheel"
        readelf -d "$object" | grep -q 'R.*PATH.*\[\$ORIGIN\]' ||
            fail "$name needs $needed from the wheel, but has no \$ORIGIN run path"
    done
done
# shellcheck disable=SC2086 # one word per object
newest=$(objdump -T $objects | grep -o 'GLIBC_[0-9.]*' | sort -u -V | tail -n 1)
echo "newest glibc symbol version: $newest"
