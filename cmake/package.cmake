# The release archive: one folder, meant to be copied into the game's folder
# (the program is portable and keeps game.ini beside itself). Everything in
# it is named for the connector, so that copying it overwrites none of the
# game's own files (its README.md, LICENSE or icons/). Built with
# scripts/release, or cpack in a build tree.
install(TARGETS connector RUNTIME DESTINATION . COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME connector-README.md
        COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME connector-LICENSE
        COMPONENT program)

if(WIN32)
  # The icon, version and manifest are inside connector.exe; the notices are
  # those of the compiler's libraries linked into it.
  install(FILES ${PROJECT_SOURCE_DIR}/app/windows-notices.txt DESTINATION .
          RENAME connector-NOTICES.txt COMPONENT program)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(package_system win64)
  else()
    set(package_system win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  # The desktop entry starts the program beside it; file managers run only
  # executable entries. The icons are in the hicolor layout that the menu
  # looks them up in (see the README).
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/app/connector.desktop DESTINATION . COMPONENT program)
  foreach(size ${CONNECTOR_ICON_SIZES})
    install(FILES ${PROJECT_SOURCE_DIR}/app/icon/png/connector-${size}.png
            DESTINATION connector-icons/hicolor/${size}x${size}/apps RENAME connector.png
            COMPONENT program)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/app/icon/connector.svg
          DESTINATION connector-icons/hicolor/scalable/apps COMPONENT program)
  set(package_system linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME connector)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME connector-${PROJECT_VERSION}-${package_system})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# A SHA-256 file beside each archive, in the form `sha256sum -c` reads.
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Only the program's files: no test framework's install rules.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};connector;program;/")
include(CPack)
