# Initial cache of the package build (cmake -C), read when it is first configured, after
# scripts/setup has installed dpkg-dev: Debian's hardening and optimisation flags, all hardening
# features included (bindnow makes the whole relocation table read-only), and Debian's way of
# stripping.
set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
# Run from the source tree, the flags map its path to "." in what the compiler records.
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND dpkg-buildflags --get ${kind} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# CMake has no CPPFLAGS of its own. The build tree's path is mapped too (the generated moc, uic
# and rcc sources live there), after the source tree's so that it wins for a build tree inside the
# source tree: the same program comes out of any build folder.
set(CMAKE_CXX_FLAGS "${CPPFLAGS} ${CXXFLAGS} -ffile-prefix-map=${CMAKE_BINARY_DIR}=build"
    CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "${LDFLAGS}" CACHE STRING "")
set(CMAKE_STRIP ${CMAKE_CURRENT_LIST_DIR}/strip CACHE FILEPATH "")
# The package is linked by Debian's default linker, as Debian's packages are.
set(ACCESSTERM_LLD OFF CACHE BOOL "")
