# Linux: the program on X11 and Wayland, on one event loop (toolkit/linux), with GTK's dialogs
# and the FreeType text renderer that the X11, Wayland and headless backends share.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2 fontconfig)
find_package(PNG REQUIRED)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client xkbcommon)
include(${CMAKE_CURRENT_LIST_DIR}/wayland.cmake)

file(GLOB FREETYPE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/freetype/*.cpp)
if(FREETYPE_SOURCES)
  target_sources(frostwisp_headless PRIVATE ${FREETYPE_SOURCES})
endif()
target_link_libraries(frostwisp_headless PUBLIC PkgConfig::FREETYPE PNG::PNG)

# System services of a Linux process, without a display.
file(GLOB LINUX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/linux/*.cpp)
add_library(frostwisp_linux STATIC ${LINUX_SOURCES})
target_link_libraries(frostwisp_linux PUBLIC frostwisp_headless)

# The dialogs' widgets: GTK 3 over the portable control model.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
file(GLOB GTK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/gtk/*.cpp)
add_library(frostwisp_gtk STATIC ${GTK_SOURCES})
target_link_libraries(frostwisp_gtk PUBLIC frostwisp_core PkgConfig::GTK3)
target_link_libraries(frostwisp_linux PUBLIC frostwisp_gtk)

# The X11 backend, and the program: the backend is a library so that the
# unit tests reach its parts.
pkg_check_modules(XLIBS REQUIRED IMPORTED_TARGET x11 xext xscrnsaver xrandr xinerama)
file(GLOB X11_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/x11/*.cpp)
add_library(frostwisp_x11 STATIC ${X11_SOURCES})
target_link_libraries(frostwisp_x11 PUBLIC frostwisp_linux PkgConfig::XLIBS)
if(TARGET frostwisp_gtk)
  target_link_libraries(frostwisp_x11 PUBLIC frostwisp_gtk)
  target_compile_definitions(frostwisp_x11 PRIVATE FROSTWISP_GTK_DIALOGS)
endif()

# The Wayland backend, a peer of the X11 one.
file(GLOB WAYLAND_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/wayland/*.cpp)
add_library(frostwisp_wayland STATIC ${WAYLAND_SOURCES})
foreach(protocol stable/xdg-shell/xdg-shell.xml unstable/xdg-output/xdg-output-unstable-v1.xml
                 stable/viewporter/viewporter.xml staging/fractional-scale/fractional-scale-v1.xml
                 ${CMAKE_SOURCE_DIR}/toolkit/wayland/protocols/wlr-layer-shell-unstable-v1.xml
                 ${CMAKE_SOURCE_DIR}/toolkit/wayland/protocols/wlr-screencopy-unstable-v1.xml)
  frostwisp_wayland_protocol(frostwisp_wayland ${protocol})
endforeach()
target_link_libraries(frostwisp_wayland PUBLIC frostwisp_linux PkgConfig::WAYLAND)
if(TARGET frostwisp_gtk)
  target_compile_definitions(frostwisp_wayland PRIVATE FROSTWISP_GTK_DIALOGS)
endif()

# The program: the entry point picks the display.
add_executable(frostwisp ${CMAKE_SOURCE_DIR}/host/linux_main.cpp ${CMAKE_SOURCE_DIR}/host/render_main.cpp)
target_link_libraries(frostwisp PRIVATE frostwisp_x11 frostwisp_wayland)

# The idle watcher (--idle): the sessions' idle sources and the watcher that
# starts the saver. KDE's idle protocol comes from Debian's plasma-wayland-protocols.
find_package(PlasmaWaylandProtocols REQUIRED)
file(GLOB IDLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/idle/*.cpp)
add_library(frostwisp_idle STATIC ${IDLE_SOURCES})
foreach(protocol staging/ext-idle-notify/ext-idle-notify-v1.xml ${PLASMA_WAYLAND_PROTOCOLS_DIR}/idle.xml)
  frostwisp_wayland_protocol(frostwisp_idle ${protocol})
endforeach()
target_link_libraries(frostwisp_idle PUBLIC frostwisp_linux PkgConfig::WAYLAND PkgConfig::XLIBS)
target_link_libraries(frostwisp PRIVATE frostwisp_idle)
# The watcher waits for the whole session as a program of its own that links
# only what it uses (no GTK), which frostwisp --idle runs in its place.
include(GNUInstallDirs)
add_executable(frostwisp-idle ${CMAKE_SOURCE_DIR}/host/idle_main.cpp)
target_link_libraries(frostwisp-idle PRIVATE frostwisp_idle)
target_link_options(frostwisp-idle PRIVATE -Wl,--as-needed)
file(RELATIVE_PATH idle_from_bin /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBEXECDIR}/frostwisp/frostwisp-idle)
target_compile_definitions(frostwisp_idle PRIVATE FROSTWISP_IDLE_FROM_BIN="${idle_from_bin}")
install(TARGETS frostwisp-idle RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/frostwisp)
# A full-screen scene without a layer shell closes GNOME's overview first.
target_link_libraries(frostwisp_wayland PRIVATE frostwisp_idle)

# The program's icon for menus and launchers, at the sizes icon themes use.
add_executable(make_icons ${CMAKE_SOURCE_DIR}/resources/make_icons.cpp)
target_link_libraries(make_icons PRIVATE frostwisp_core PNG::PNG)
set(icon_sizes 16 32 48 64 128 256)
set(icon_files "")
foreach(size IN LISTS icon_sizes)
  list(APPEND icon_files ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/frostwisp.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_files}
  COMMAND make_icons ${CMAKE_SOURCE_DIR}/resources/frostwisp.ico ${CMAKE_BINARY_DIR}/icons/hicolor ${icon_sizes}
  DEPENDS make_icons ${CMAKE_SOURCE_DIR}/resources/frostwisp.ico
  COMMENT "Making the menu icons"
  VERBATIM)
add_custom_target(frostwisp_icons ALL DEPENDS ${icon_files})

include(GNUInstallDirs)
install(TARGETS frostwisp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The daemon runs its hacks from one folder; the hack there is the program itself.
file(RELATIVE_PATH hack_link /prefix/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver /prefix/${CMAKE_INSTALL_BINDIR}/frostwisp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/libexec)
file(CREATE_LINK ${hack_link} ${CMAKE_BINARY_DIR}/packaging/libexec/frostwisp SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/libexec/frostwisp DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${CMAKE_SOURCE_DIR}/toolkit/x11/frostwisp.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/frostwisp-settings.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The desktops' own screen savers (MATE's, Xfce's) list the savers they find
# here; Xfce then looks for the options under the same name in the daemon's
# config folder, frostwisp.xml.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/frostwisp.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/example.frostwisp.frostwisp.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The manual page names the folders it is installed with, which are known only
# when it is installed (cmake --install --prefix, a package).
set(man_code "set(PROJECT_VERSION ${PROJECT_VERSION})\n")
foreach(dir BINDIR LIBEXECDIR DATADIR)
  string(APPEND man_code "set(CMAKE_INSTALL_FULL_${dir} [[${CMAKE_INSTALL_${dir}}]])\n"
                         "cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_FULL_${dir} BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\")\n")
endforeach()
install(CODE "${man_code}
  configure_file([[${CMAKE_SOURCE_DIR}/packaging/frostwisp.6.in]] [[${CMAKE_BINARY_DIR}/packaging/frostwisp.6]] @ONLY)
  file(INSTALL [[${CMAKE_BINARY_DIR}/packaging/frostwisp.6]] DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man6\")")
