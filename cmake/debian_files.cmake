# Runs inside "cpack -G DEB" between the install into the package's folder and
# the making of the package: what Debian asks of every package and a plain
# install does not do. The manual pages are compressed, and the copyright and
# the changelog go to /usr/share/doc/frostwisp.
set(root ${CPACK_TEMPORARY_DIRECTORY})
set(doc ${root}/usr/share/doc/frostwisp)

# -n: no name and time stamp inside, so the same input gives the same bytes.
function(compress file)
  execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

file(GLOB_RECURSE pages ${root}/usr/share/man/*)
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    compress(${page})
  endif()
endforeach()

file(COPY ${CPACK_FROSTWISP_SOURCE_DIR}/packaging/copyright DESTINATION ${doc})
set(PROJECT_VERSION ${CPACK_PACKAGE_VERSION})
# The date the package is made, or SOURCE_DATE_EPOCH for a reproducible build.
string(TIMESTAMP FROSTWISP_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CPACK_FROSTWISP_SOURCE_DIR}/packaging/changelog.in ${doc}/changelog @ONLY)
compress(${doc}/changelog)
