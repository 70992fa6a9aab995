# Two Debian packages from the install rules: `pellora`, the headless server and its
# upload program, which pulls in no toolkit; `pellora-desktop`, the window, which needs
# the first and Qt. dpkg-shlibdeps computes the libraries each one needs from its binaries.
# `cpack --config CPackConfig.cmake` in a build directory makes them (tools/package.sh).
set(PELLORA_PACKAGE_MAINTAINER "Pellora developers <pellora@example.org>"
  CACHE STRING "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
# CPack installs what the packages hold; it must not first build the whole tree, tests
# and all (`cmake --install` never builds anything either).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME pellora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL server desktop)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PELLORA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION httpd)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# CPack indents the lines after the synopsis itself; an empty line separates paragraphs.
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME pellora)
set(CPACK_DEBIAN_SERVER_DESCRIPTION "personal web server for your own files
Pellora serves the files of this machine's drives to any browser on the
network: directory listings, a drive index, uploads through a form and CGI
programs, with access lists and an access log.

This package holds the server, which runs without a window (for instance as
a user service with systemctl --user), and its upload program. Install
pellora-desktop for its window and menu entry.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME pellora-desktop)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION web)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "personal web server for your own files - desktop window
Pellora serves the files of this machine's drives to any browser on the
network.

This package adds its window, with the state of the server, a menu to
stop and start it and an Options sheet for every setting, and its entry in
the desktop's menu.")

include(CPack)
cpack_add_component(server DISPLAY_NAME "Server")
cpack_add_component(desktop DISPLAY_NAME "Desktop window" DEPENDS server)
