# Initial cache of the package build (cmake -C), read when it is first configured, after
# scripts/setup has installed dpkg-dev: Debian's hardening and optimisation flags, all hardening
# features included (bindnow makes the whole relocation table read-only), and Debian's way of
# stripping.
set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND dpkg-buildflags --get ${kind}
        OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# CMake has no CPPFLAGS of its own.
set(CMAKE_CXX_FLAGS "${CPPFLAGS} ${CXXFLAGS}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "${LDFLAGS}" CACHE STRING "")
set(CMAKE_STRIP ${CMAKE_CURRENT_LIST_DIR}/strip CACHE FILEPATH "")
