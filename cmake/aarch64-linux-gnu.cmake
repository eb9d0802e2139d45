# Cross build for 64-bit ARM Linux with Debian's cross compiler and multi-arch libraries
# (the :arm64 packages install into /usr/lib/aarch64-linux-gnu beside the host's own).
# Qt's code generators (moc) are host programs: QT_HOST_PATH points at the host Qt.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Target libraries and headers only from the target's multi-arch folders; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE KELVANOR_HOST_MULTIARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH /usr CACHE PATH "Host Qt with moc")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${KELVANOR_HOST_MULTIARCH}/cmake CACHE PATH "Host Qt's CMake files")

# Tests and tools run under qemu's user-mode emulation on an x86-64 machine.
find_program(KELVANOR_QEMU NAMES qemu-aarch64-static qemu-aarch64)
if(KELVANOR_QEMU AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KELVANOR_QEMU})
endif()
