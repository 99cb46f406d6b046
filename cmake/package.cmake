# Packages for users: "cpack -G DEB" in a Linux build gives the Debian package,
# "cpack -G ZIP" in a Windows build the zip with frostwisp.scr.
set(CPACK_PACKAGE_NAME frostwisp)
set(CPACK_PACKAGE_VENDOR "The Frostwisp developers")
set(CPACK_PACKAGE_CONTACT "The Frostwisp developers <developers@frostwisp.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.frostwisp.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "snowfall screen saver")
set(CPACK_PACKAGE_DESCRIPTION [[
White flakes fall and drift over a black, blue or gray gradient or a
picture of the desktop, settle into a snow cover that grows from the
bottom edge, and the scene rebuilds itself every few minutes. The date
and the time sit at the bottom left.

Frostwisp runs as a hack of the XScreenSaver daemon, or as a full-screen
saver of its own on X and on Wayland compositors (started by swayidle).
Its settings dialog is in the desktop's menu.]])
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_FROSTWISP_SOURCE_DIR ${CMAKE_SOURCE_DIR})

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  # The install rules see the package's own prefix, so that the manual page
  # names the folders the package installs into.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX /usr)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The scene's face. Without it the text line falls back to another face,
  # larger and unlike the README's picture, so it is a dependency and not a
  # recommendation, which installs made without recommendations leave out.
  # The libraries' dependencies are added to it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-comic-neue)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xscreensaver)
  # What starts the full-screen saver on Wayland compositors.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS swayidle)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian_files.cmake)
endif()

include(CPack)
