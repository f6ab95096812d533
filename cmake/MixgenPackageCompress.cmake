# Run by CPack on the staged files before it packs them: compresses the manual page and the
# changelog as Debian expects (gzip -9n, so the package is the same on every build).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man1/mixgen.1"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/mixgen/changelog")
foreach(page ${pages})
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Could not compress ${page}")
  endif()
endforeach()
