# What the Debian package installs beside the program; scripts/package stages the installation and
# makes the package from it with packaging/control.

# The Debian changelog names the package version; both must move together.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT CHANGELOG_TOP MATCHES "^accessterm \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: "
                        "${CHANGELOG_TOP}")
endif()
# Compressed without a time stamp, so that builds are reproducible.
set(CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${CHANGELOG}
    COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CHANGELOG}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(changelog DEPENDS ${CHANGELOG})
add_dependencies(accessterm changelog)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
