# FLTK 1.3 as one imported target, FLTK::fltk_static: the static library with
# the system's X11 libraries it needs, so that the program needs only those.
# Debian's own CMake files for FLTK (/usr/lib/fltk) cannot serve: their
# targets name the libraries under ${DEB_HOST_MULTIARCH}, which only Debian's
# package builds set, and they bring in the cairo variants with them.
find_library(FLTK_STATIC_LIBRARY NAMES libfltk.a REQUIRED)
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_package(X11 REQUIRED)
find_package(Fontconfig REQUIRED)

add_library(FLTK::fltk_static STATIC IMPORTED)
set_target_properties(FLTK::fltk_static PROPERTIES
  IMPORTED_LOCATION ${FLTK_STATIC_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${FLTK_INCLUDE_DIR})
target_link_libraries(FLTK::fltk_static INTERFACE
  X11::Xrender X11::Xcursor X11::Xfixes X11::Xext X11::Xft Fontconfig::Fontconfig
  X11::Xinerama X11::X11 ${CMAKE_DL_LIBS} m)
