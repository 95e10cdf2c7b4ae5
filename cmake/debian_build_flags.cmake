# The flags Debian builds its packages with, from dpkg-buildflags, hardening
# included (stack protector, _FORTIFY_SOURCE, read-only relocations bound at
# start-up), for the processor the package is for. They come before the
# project's own: the release -O2 and -ffp-contract=off still hold.
# dpkg-buildflags maps the name of the directory it runs in, here the source
# tree, so that the binary does not depend on where it was built.
set(deb_host_arch "")
if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(deb_host_arch DEB_HOST_ARCH=${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
endif()
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env ${deb_host_arch} DEB_BUILD_MAINT_OPTIONS=hardening=+all
                dpkg-buildflags --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE deb_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# The build tree's name is mapped too: with -g it would be in the debugging
# data, and through it in the build ID that stripping keeps.
string(APPEND CMAKE_CXX_FLAGS
       " ${deb_CPPFLAGS} ${deb_CXXFLAGS} -ffile-prefix-map=${PROJECT_BINARY_DIR}=.")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${deb_LDFLAGS}")
# Stripping keeps the compilers' .comment notes, which Debian's own strip
# removes as unneeded.
foreach(command ${commands})
    add_custom_command(TARGET ${command} POST_BUILD
        COMMAND ${CMAKE_STRIP} --remove-section=.comment $<TARGET_FILE:${command}> VERBATIM)
endforeach()
