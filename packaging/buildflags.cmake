# Initial cache for the package build (cmake -C): Debian's hardening and optimisation flags,
# read when the build is first configured, after scripts/setup has installed dpkg-dev.
# All hardening features, bindnow included, so that the whole relocation table is read-only.
set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND dpkg-buildflags --get ${kind}
        OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(CMAKE_CXX_FLAGS "${CPPFLAGS} ${CXXFLAGS}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "${LDFLAGS}" CACHE STRING "")
