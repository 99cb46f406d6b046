# Linux: the X11 program and the FreeType text renderer shared by the X11 and
# headless backends.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2 fontconfig)
find_package(PNG REQUIRED)

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
list(FILTER X11_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(frostwisp_x11 STATIC ${X11_SOURCES})
target_link_libraries(frostwisp_x11 PUBLIC frostwisp_linux PkgConfig::XLIBS)
if(TARGET frostwisp_gtk)
  target_link_libraries(frostwisp_x11 PUBLIC frostwisp_gtk)
  target_compile_definitions(frostwisp_x11 PRIVATE FROSTWISP_GTK_DIALOGS)
endif()

add_executable(frostwisp ${CMAKE_SOURCE_DIR}/toolkit/x11/main.cpp)
target_link_libraries(frostwisp PRIVATE frostwisp_x11)

include(GNUInstallDirs)
install(TARGETS frostwisp RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${CMAKE_SOURCE_DIR}/toolkit/x11/frostwisp.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
