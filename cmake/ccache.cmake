# A compiler cache when the machine has one: the continuous integration builds the same
# sources in several build folders (native, sanitizers, ARM64) from a fresh clone each time,
# and a cache keeps the unchanged files from being compiled again. A launcher given on the
# command line or in the environment (CMAKE_CXX_COMPILER_LAUNCHER) wins; -DKELVANOR_CCACHE=OFF
# turns it off. For hits across clones at different paths, ccache must be told the clone's
# root (CCACHE_BASEDIR) and not to hash the build folder (CCACHE_NOHASHDIR): the Makefile
# does both.
option(KELVANOR_CCACHE "Compile through ccache when it is installed" ON)
if(KELVANOR_CCACHE)
    find_program(KELVANOR_CCACHE_PROGRAM ccache)
    mark_as_advanced(KELVANOR_CCACHE_PROGRAM)
    foreach(lang C CXX)
        if(KELVANOR_CCACHE_PROGRAM AND NOT CMAKE_${lang}_COMPILER_LAUNCHER)
            set(CMAKE_${lang}_COMPILER_LAUNCHER ${KELVANOR_CCACHE_PROGRAM})
        endif()
    endforeach()
endif()
