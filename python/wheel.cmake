# The module as a wheel carries it, the way a wheel repaired for manylinux
# does: beside the C library and the loader it needs only what is inside
# the wheel. The C++ runtime, liblzma and libzstd are linked in from their
# archives, which Debian builds position-independent, with their symbols
# kept inside the module, so that no other copy in the process binds to
# them. Debian's zlib archive is not position-independent, so the shared
# zlib goes into the wheel beside the module, which finds it through its run
# path. pip's build (pyproject.toml) installs into the wheel's platlib.
foreach(library lzma zstd)
    find_library(${library}_archive NAMES lib${library}.a REQUIRED)
endforeach()
find_library(zlib_library NAMES z REQUIRED)
file(REAL_PATH ${zlib_library} zlib_file)
set(log_input_libraries ${zlib_library} ${lzma_archive} ${zstd_archive})

function(install_in_wheel module)
    target_link_options(${module} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL)
    set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${module} LIBRARY DESTINATION stamp_series)
    install(FILES stamp_series/__init__.py DESTINATION stamp_series)
    install(FILES ${zlib_file} RENAME libz.so.1 DESTINATION stamp_series)
    # The licences of the libraries inside, beside the package's own. The
    # libstdc++ and libgcc archives come under GCC's runtime library
    # exception, which asks for none.
    if(DEFINED SKBUILD_METADATA_DIR)
        foreach(package zlib1g liblzma5 libzstd1)
            if(EXISTS /usr/share/doc/${package}/copyright)
                install(FILES /usr/share/doc/${package}/copyright RENAME ${package}.copyright
                        DESTINATION ${SKBUILD_METADATA_DIR}/licenses)
            endif()
        endforeach()
    endif()
endfunction()
