# Wayland protocol glue: wayland-scanner turns a protocol's XML into a client
# header and its interface tables at build time. Protocols that Debian ships
# come from wayland-protocols; the others are the project's own files.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)

# frostwisp_wayland_protocol(TARGET XML): the glue of the protocol in XML
# (a path, or one relative to wayland-protocols' folder) compiled into
# TARGET; its header is <NAME>-client-protocol.h in TARGET's include path.
function(frostwisp_wayland_protocol target xml)
  if(NOT IS_ABSOLUTE ${xml})
    set(xml ${WAYLAND_PROTOCOLS_DIR}/${xml})
  endif()
  get_filename_component(name ${xml} NAME_WE)
  set(dir ${CMAKE_BINARY_DIR}/generated/wayland)
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
    DEPENDS ${xml}
    COMMENT "Generating the Wayland glue of ${name}"
    VERBATIM)
  target_sources(${target} PRIVATE ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
