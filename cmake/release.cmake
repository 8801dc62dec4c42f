# What an installation holds, and the package CPack makes of it
# (scripts/release.sh builds both in Release):
#   Windows  ombrix-VERSION-windows-x86_64.zip: ombrix.exe, examples/ (the
#            sample world and its images in examples/textures/),
#            README.md and docs/world-format.md, in one folder
#   Linux    ombrix_VERSION_amd64.deb: /usr/bin/ombrix, the sample world and
#            its images in /usr/share/ombrix/examples/, a menu entry with the icon, the
#            manual page, and README.md and the world format in
#            /usr/share/doc/ombrix/
# Only the program is installed, never a test. The directories come from
# GNUInstallDirs (included by program.cmake, whose --help names them).

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(OM_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(OMBRIX_MAINTAINER "Ombrix maintainers <maintainers@users.noreply.c-seed-bbc0812a.example>"
    CACHE STRING "The packages' maintainer, as Name <address>")

set(CPACK_PACKAGE_NAME ombrix)
set(CPACK_PACKAGE_VENDOR "The Ombrix developers")
set(CPACK_PACKAGE_CONTACT "${OMBRIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "first-person engine with a built-in map editor")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS ombrix RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/examples/sample.world DESTINATION examples)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/textures DESTINATION examples)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/world-format.md DESTINATION docs)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ombrix-${PROJECT_VERSION}-windows-x86_64)
else()
  # The menu's icon is the window's (tools/icon_png.cpp), at the theme's
  # 48 x 48; the manual page and the changelog carry the version and the
  # release date (SOURCE_DATE_EPOCH when set, which scripts/release.sh takes
  # from the last commit, so the same tree makes the same files).
  set(OM_GENERATED ${CMAKE_BINARY_DIR}/packaging)
  string(TIMESTAMP OM_RELEASE_DAY "%Y-%m-%d" UTC)
  string(TIMESTAMP OM_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(OM_SAMPLE_WORLD ${CMAKE_INSTALL_FULL_DATADIR}/ombrix/examples/sample.world)
  configure_file(${OM_PACKAGING}/ombrix.6.in ${OM_GENERATED}/ombrix.6 @ONLY)
  configure_file(${OM_PACKAGING}/changelog.in ${OM_GENERATED}/changelog @ONLY)

  add_executable(om_icon_png ${CMAKE_SOURCE_DIR}/tools/icon_png.cpp
                             ${CMAKE_SOURCE_DIR}/src/system_icon_linux.cpp)
  target_link_libraries(om_icon_png PRIVATE ombrix_core)
  add_custom_command(OUTPUT ${OM_GENERATED}/ombrix.png
    COMMAND om_icon_png ${CMAKE_SOURCE_DIR}/resources/ombrix.ico 48 ${OM_GENERATED}/ombrix.png
    DEPENDS om_icon_png ${CMAKE_SOURCE_DIR}/resources/ombrix.ico
    COMMENT "Writing the menu icon")
  # gzip -n leaves out the name and the time: the same text, the same bytes.
  foreach(name ombrix.6 changelog)
    add_custom_command(OUTPUT ${OM_GENERATED}/${name}.gz
      COMMAND gzip -9nkf ${OM_GENERATED}/${name}
      DEPENDS ${OM_GENERATED}/${name})
  endforeach()
  add_custom_target(om_package_files ALL
    DEPENDS ${OM_GENERATED}/ombrix.png ${OM_GENERATED}/ombrix.6.gz ${OM_GENERATED}/changelog.gz)

  install(TARGETS ombrix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/examples/sample.world
          DESTINATION ${CMAKE_INSTALL_DATADIR}/ombrix/examples)
  # The images the sample world names, beside it as their paths say.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/textures
          DESTINATION ${CMAKE_INSTALL_DATADIR}/ombrix/examples)
  install(FILES ${OM_PACKAGING}/ombrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${OM_GENERATED}/ombrix.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
  install(FILES ${OM_GENERATED}/ombrix.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/world-format.md
                ${OM_PACKAGING}/copyright ${OM_GENERATED}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Not "games": Debian keeps that section's programs in /usr/games, and
  # this one is a command in /usr/bin like any other. The menu entry is
  # filed under Game all the same.
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the program links, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Ombrix walks a world of polygonal sectors joined by portals, which may
wrap space around, drawn by a software renderer one screen column at a
time. The same window holds the map editor: draw rooms with the mouse,
raise their floors and ceilings, texture their walls, link them as
portals and walk into them. Worlds are kept in plain text files; a
sample world of five rooms comes with the program.")
endif()

include(CPack)
