# Included by src/: the shipped code of release builds, and so the Debian package, gets the
# flags dpkg-buildflags gives a release with every hardening feature
# (DEB_BUILD_MAINT_OPTIONS=hardening=+all): fortified functions, a strong stack protector,
# format checks, a read-only relocation table bound at start (relro, bindnow). Where
# dpkg-buildflags is missing the same flags are set by hand. The build type keeps its own -O
# and -g, and no flag names the source folder, so every worktree shares one compiler cache.
# Tests and benchmarks keep the plain flags. The two protections newer dpkg releases add
# (stack clash, control flow) are added where the compiler knows them, as hardening-check asks
# for them.
option(MIXGEN_HARDENING "Build with the Debian release hardening flags" ON)

function(mixgen_buildflags kind fallback result)
  set(flags "${fallback}")
  if(DPKG_BUILDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      set(flags "${fallback}")
    endif()
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^(-g|-O[0-9s]?|-ffile-prefix-map=.*|-fdebug-prefix-map=.*)$")
  set(${result} ${flags} PARENT_SCOPE)
endfunction()

if(MIXGEN_HARDENING AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  mixgen_buildflags(CPPFLAGS "-Wdate-time -D_FORTIFY_SOURCE=2" cppflags)
  mixgen_buildflags(CXXFLAGS "-fstack-protector-strong -Wformat -Werror=format-security" cxxflags)
  mixgen_buildflags(LDFLAGS "-Wl,-z,relro -Wl,-z,now" ldflags)
  include(CheckCXXCompilerFlag)
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "MIXGEN_HAS${flag}" known)
    check_cxx_compiler_flag(${flag} ${known})
    if(${known} AND NOT flag IN_LIST cxxflags)
      list(APPEND cxxflags ${flag})
    endif()
  endforeach()
  add_compile_options(${cppflags} ${cxxflags})
  add_link_options(${ldflags})
  message(STATUS "Hardening flags: ${cppflags} ${cxxflags} ${ldflags}")
endif()
