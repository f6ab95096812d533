# Run by CPack on the staged files before it packs them: compresses the manual page as
# Debian's manual reader expects (gzip -9n, so the package is the same on every build).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man1/mixgen.1")
foreach(page ${pages})
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Could not compress the manual page ${page}")
  endif()
endforeach()
