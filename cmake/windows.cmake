# Windows: the screen saver frostwisp.scr with the Win32 backend, and GoogleTest
# built from Debian's sources (there is no MinGW package of it).

# libpng is not part of the MinGW toolchain; PNG output is the Linux renderer's.
get_target_property(headless_sources frostwisp_headless SOURCES)
list(FILTER headless_sources EXCLUDE REGEX "/toolkit/headless/(png|render)[^/]*\\.cpp$")
set_property(TARGET frostwisp_headless PROPERTY SOURCES ${headless_sources})

# The Win32 backend, shared by the program and its unit tests.
file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/win32/*.cpp)
add_library(frostwisp_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(frostwisp_win32 PUBLIC frostwisp_core gdi32 user32 advapi32 shell32 comctl32 version)
# Windows 7 headers: per-monitor DPI comes from the manifest, not from code.
target_compile_definitions(frostwisp_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)

# Resources: the version record, the name Windows lists, the icon, the
# bitmaps, the pictures and the manifest. The numbered bitmaps go in as BITMAP
# resources by number, every other bitmap in resources/ as RCDATA named by its
# file name without extension, in capitals (preview.bmp is PREVIEW).
file(GLOB rc_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.bmp)
set(FROSTWISP_RC_PICTURES "")
foreach(picture IN LISTS rc_pictures)
  get_filename_component(stem ${picture} NAME_WE)
  if(stem MATCHES "^[0-9]+$")
    string(APPEND FROSTWISP_RC_PICTURES "${stem} BITMAP \"${picture}\"\n")
  else()
    string(TOUPPER ${stem} rc_name)
    string(APPEND FROSTWISP_RC_PICTURES "${rc_name} RCDATA \"${picture}\"\n")
  endif()
endforeach()
set(FROSTWISP_RC_ICON ${CMAKE_SOURCE_DIR}/resources/frostwisp.ico)
set(FROSTWISP_MANIFEST ${CMAKE_SOURCE_DIR}/toolkit/win32/frostwisp.manifest)
# The version record's maker and copyright: the licence's copyright line.
file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE FROSTWISP_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\(c\\) [0-9, -]+ " "" FROSTWISP_COMPANY "${FROSTWISP_COPYRIGHT}")
configure_file(${CMAKE_SOURCE_DIR}/toolkit/win32/frostwisp.rc.in ${CMAKE_BINARY_DIR}/generated/frostwisp.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/frostwisp.rc PROPERTIES
  OBJECT_DEPENDS "${rc_pictures};${FROSTWISP_MANIFEST};${FROSTWISP_RC_ICON}")

add_executable(frostwisp_scr WIN32 ${CMAKE_SOURCE_DIR}/host/win32_main.cpp ${CMAKE_BINARY_DIR}/generated/frostwisp.rc)
target_link_libraries(frostwisp_scr PRIVATE frostwisp_win32)
set_target_properties(frostwisp_scr PROPERTIES
  OUTPUT_NAME frostwisp SUFFIX .scr RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(frostwisp_scr PRIVATE $<$<CONFIG:Release>:-s>)
# Reproducible: no link time in the PE header, so two builds of one tree are
# the same bytes. (The archives are deterministic already, windres writes no
# time, and a stripped program carries no build paths.)
target_link_options(frostwisp_scr PRIVATE -Wl,--no-insert-timestamp)

if(FROSTWISP_TESTS)
  # The test programs are listed when the tests run, under Wine, not while building.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# The zip for users (cpack -G ZIP): the program and a short read-me, with the
# line ends Notepad expects. A 64-bit and a 32-bit zip, named so, and each
# read-me says which one it is.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(FROSTWISP_BITS 64)
  set(FROSTWISP_OTHER_BITS 32)
else()
  set(FROSTWISP_BITS 32)
  set(FROSTWISP_OTHER_BITS 64)
endif()
install(TARGETS frostwisp_scr RUNTIME DESTINATION .)
configure_file(${CMAKE_SOURCE_DIR}/packaging/README-windows.txt.in ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt DESTINATION .)
