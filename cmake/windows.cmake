# The Windows program: a GUI-subsystem executable with its icon, version
# information and manifest, and a private Wine prefix for running the tests.
configure_file(${PROJECT_SOURCE_DIR}/app/version.h.in ${PROJECT_BINARY_DIR}/app/version.h @ONLY)
target_sources(connector PRIVATE app/connector.rc)
target_include_directories(connector PRIVATE ${PROJECT_BINARY_DIR}/app ${PROJECT_SOURCE_DIR}/app)
set_target_properties(connector PROPERTIES WIN32_EXECUTABLE ON)

# Wine creates its prefix on first start, which takes far longer than a test
# may wait; do it once while building.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(wine_prefix_stamp ${PROJECT_BINARY_DIR}/wineprefix/system.reg)
  add_custom_command(OUTPUT ${wine_prefix_stamp}
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i
    COMMENT "Creating the Wine prefix for the tests")
  add_custom_target(wine_prefix ALL DEPENDS ${wine_prefix_stamp})
endif()
