# The release archive: the program with its README and licence in one folder,
# meant to be unpacked into the game's folder (the program is portable and
# keeps game.ini beside itself). Built with scripts/release, or cpack in a
# release build tree.
set(package_files ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE)

install(TARGETS connector RUNTIME DESTINATION . COMPONENT program)
install(FILES ${package_files} DESTINATION . COMPONENT program)

if(WIN32)
  # The icon, version and manifest are inside connector.exe.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(package_system win64)
  else()
    set(package_system win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  # The desktop entry starts the program beside it; the icons go in the
  # hicolor layout the menu looks them up in (see the README).
  install(FILES ${PROJECT_SOURCE_DIR}/app/connector.desktop DESTINATION . COMPONENT program)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/app/icon/png/connector-${size}.png
            DESTINATION icons/hicolor/${size}x${size}/apps RENAME connector.png COMPONENT program)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/app/icon/connector.svg
          DESTINATION icons/hicolor/scalable/apps COMPONENT program)
  set(package_system linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME connector)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME connector-${PROJECT_VERSION}-${package_system})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only the program's files: no test framework's install rules.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};connector;program;/")
include(CPack)
