# Cross-compiles for 64-bit Arm with Debian's g++-aarch64-linux-gnu, against
# the arm64 libraries that Debian's multiarch installs beside the native ones
# (dpkg --add-architecture arm64, then libhwy-dev:arm64 libgtest-dev:arm64).
# The test programs run under qemu-user; the QEMU_CPU environment variable
# picks the processor it emulates, and the processes they start inherit it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Named outright, so that CPack strips the package's binary with the strip
# that reads arm64 files rather than whichever the build host has.
set(CMAKE_STRIP aarch64-linux-gnu-strip)

# Multiarch keeps the arm64 libraries, their CMake package files and their
# pkg-config files under lib/aarch64-linux-gnu of the host's own /usr, so
# nothing is re-rooted; only the native x86-64 directories must stay out.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# ctest starts each test program through the emulator; programs that a test
# starts itself reach qemu through the kernel's binfmt_misc entry for arm64
# (.ci/run registers it).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
