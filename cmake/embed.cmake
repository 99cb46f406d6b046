# frostwisp_embed(target dir): compiles every file in dir (not its sub-folders,
# not the scripts and sources that made them, not PNG pictures, which are for
# people) into a static library that serves the bytes by file name through
# fw::embedded_resource() (toolkit/resources.h).
function(frostwisp_embed target dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*)
  list(FILTER files EXCLUDE REGEX "\\.(txt|md|py|cpp|h|sh|svg|rc|png)$")
  set(out ${CMAKE_BINARY_DIR}/generated/${target}.cpp)
  string(REPLACE ";" "|" files_arg "${files}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFILES=${files_arg}" -P ${CMAKE_SOURCE_DIR}/cmake/embed_files.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/embed_files.cmake
    COMMENT "Embedding resources"
    VERBATIM)
  add_library(${target} STATIC ${out})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
