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

file(GLOB X11_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/x11/*.cpp)
if(X11_SOURCES)
  add_executable(frostwisp ${X11_SOURCES})
  target_link_libraries(frostwisp PRIVATE frostwisp_linux)
endif()
