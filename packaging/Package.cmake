# The Debian package, made by scripts/package with CPack's DEB generator.

# The Debian changelog names the package version; both must move together.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT CHANGELOG_TOP MATCHES "^accessterm \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: "
                        "${CHANGELOG_TOP}")
endif()
set(CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${CHANGELOG}
    COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CHANGELOG}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(changelog DEPENDS ${CHANGELOG})
add_dependencies(accessterm changelog)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME accessterm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "The accessterm maintainers <maintainers@users.noreply.c-seed-9f05ec92.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "test terminal for door and elevator access controllers
A desktop terminal for engineers who commission door and elevator access
controllers. The operator composes one command in a bracketed hex notation
(AB<02>C<0D> is the bytes 41 42 02 43 0D), sends it over a serial port or a
TCP client connection, and reads each reply burst, rendered back into the
same notation, in the event log. Replies on the serial port are also
captured, one line each, to a text file.

Serial ports 1 to 16 map onto the serial devices present, or onto any device
named in the environment; see accessterm(1).")
# The libraries the program links against, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Ming face the event log asks for, and the condensed face the window's captions are sized for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-arphic-uming, fonts-dejavu-extra")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
