# What `cmake --install` lays out. The program finds its upload program, desktop module,
# images, help, read-me and open commands beside its own executable, so they stay together
# in lib/pellora; bin/pellora links to it. The arch-independent files live in share/pellora
# and lib/pellora links to them.
include(GNUInstallDirs)

set(PELLORA_PROGRAM_DIR lib/pellora)
set(PELLORA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/pellora)
set(PELLORA_LINK_DIR ${CMAKE_BINARY_DIR}/install-links)
# A umask of 002 must not leave group-writable directories in a package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A relative symbolic link made in the build tree, installed as it is into `destination`.
function(pellora_install_link destination name target component)
  file(MAKE_DIRECTORY ${PELLORA_LINK_DIR}/${destination})
  file(RELATIVE_PATH relative /${destination} /${target})
  file(CREATE_LINK ${relative} ${PELLORA_LINK_DIR}/${destination}/${name} SYMBOLIC)
  install(FILES ${PELLORA_LINK_DIR}/${destination}/${name} DESTINATION ${destination} COMPONENT ${component})
endfunction()

# The headless server.
install(TARGETS pellora upload_program RUNTIME DESTINATION ${PELLORA_PROGRAM_DIR} COMPONENT server)
install(DIRECTORY ${CMAKE_BINARY_DIR}/images ${CMAKE_BINARY_DIR}/help DESTINATION ${PELLORA_DATA_DIR}
  COMPONENT server)
install(FILES ${CMAKE_SOURCE_DIR}/resources/readme.txt ${CMAKE_SOURCE_DIR}/resources/open-commands.conf
  DESTINATION ${PELLORA_DATA_DIR} COMPONENT server)
foreach(name images help readme.txt open-commands.conf)
  pellora_install_link(${PELLORA_PROGRAM_DIR} ${name} ${PELLORA_DATA_DIR}/${name} server)
endforeach()
pellora_install_link(${CMAKE_INSTALL_BINDIR} pellora ${PELLORA_PROGRAM_DIR}/pellora server)
# The demonstration settings (port 8080) and folder, to try the server on.
install(FILES ${CMAKE_SOURCE_DIR}/demo/demo.opt DESTINATION ${PELLORA_DATA_DIR}/demo COMPONENT server)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/demo/files DESTINATION ${PELLORA_DATA_DIR}/demo COMPONENT server)

# Manual pages and Debian's changelogs are kept compressed.
function(pellora_gzip source output)
  add_custom_command(OUTPUT ${output} COMMAND gzip -9nc ${source} > ${output} DEPENDS ${source} VERBATIM)
endfunction()
pellora_gzip(${CMAKE_SOURCE_DIR}/resources/pellora.1 ${CMAKE_BINARY_DIR}/pellora.1.gz)
configure_file(${CMAKE_SOURCE_DIR}/resources/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
pellora_gzip(${CMAKE_BINARY_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(pellora_compressed_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/pellora.1.gz ${CMAKE_BINARY_DIR}/changelog.gz)
add_dependencies(pellora pellora_compressed_docs)
install(FILES ${CMAKE_BINARY_DIR}/pellora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)

# The user service names the program by its full path, which the prefix of the install
# decides (a package's is not the configured one), so it is written when installing.
# Each install writes its own copy, so that two at once (a package and a test) cannot meet.
install(CODE "
  set(PELLORA_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pellora\")
  string(MD5 place \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(service \"${CMAKE_BINARY_DIR}/service/\${place}/pellora.service\")
  configure_file(\"${CMAKE_SOURCE_DIR}/resources/pellora.service.in\" \"\${service}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\" TYPE FILE FILES \"\${service}\")
  file(REMOVE_RECURSE \"${CMAKE_BINARY_DIR}/service/\${place}\")" COMPONENT server)

# The desktop: its module, menu entry, icons and AppStream metainfo.
install(TARGETS pellora_desktop_module LIBRARY DESTINATION ${PELLORA_PROGRAM_DIR} COMPONENT desktop)
install(FILES ${CMAKE_SOURCE_DIR}/resources/pellora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  COMPONENT desktop)
install(FILES ${CMAKE_SOURCE_DIR}/resources/window/pellora.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps COMPONENT desktop)
foreach(size 16 24 32 48 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/pellora-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pellora.png COMPONENT desktop)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/pellora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
  COMPONENT desktop)

# Documentation; each package carries its own copyright and changelog, as Debian asks.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellora COMPONENT server)
foreach(component_package server:pellora desktop:pellora-desktop)
  string(REPLACE ":" ";" pair ${component_package})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/copyright ${CMAKE_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/pellora-desktop.lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME pellora-desktop COMPONENT desktop)
