# Read by cpack before it writes the package. The DEB generator stamps every
# member and every file of the .deb with SOURCE_DATE_EPOCH when it is set, so
# that two builds of one source give the same bytes. It is the time of the
# commit being packaged, or, in a source tree that is not a git checkout, the
# date of the latest changelog entry. A SOURCE_DATE_EPOCH already in the
# environment is kept.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    file(REAL_PATH ${CPACK_STAMP_SERIES_SOURCE_DIR} source)
    execute_process(COMMAND git -C ${source} rev-parse --show-toplevel
        OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # Only the source tree's own repository counts, not one it was unpacked in.
    if(top AND top STREQUAL source)
        execute_process(COMMAND git -C ${source} log -1 --format=%ct
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    else()
        execute_process(COMMAND dpkg-parsechangelog -l ${source}/packaging/changelog -STimestamp
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    if(NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "no time for the package: neither git nor dpkg-parsechangelog gave one")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
