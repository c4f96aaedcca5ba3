# Debian's hardening flags in every build, the package's included: fortify, stack protector,
# stack clash protection, control-flow protection, format checks, relro and bind-now (PIE is the
# compiler's default there). Taken from dpkg-buildflags with every hardening feature asked for;
# the optimisation and debug flags stay the build type's. Fortify needs optimisation, so a Debug
# build goes without it. The fuzz build has its own instrumentation and takes none of these.
find_program(QUILLET_DPKG_BUILDFLAGS dpkg-buildflags)
if(QUILLET_DPKG_BUILDFLAGS AND NOT QUILLET_FUZZ)
  set(quillet_hardening_compile "")
  set(quillet_hardening_link "")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${QUILLET_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag IN LISTS flags)
      if(flag MATCHES "^-D_FORTIFY_SOURCE")
        list(APPEND quillet_hardening_compile "$<$<NOT:$<CONFIG:Debug>>:${flag}>")
      elseif(flag MATCHES "^-(fstack-protector|fstack-clash-protection|fcf-protection|mbranch-protection|Werror=format-security)")
        list(APPEND quillet_hardening_compile ${flag})
      elseif(flag MATCHES "^-Wl,-z,")
        list(APPEND quillet_hardening_link ${flag})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES quillet_hardening_compile)
  list(REMOVE_DUPLICATES quillet_hardening_link)
  add_compile_options(${quillet_hardening_compile})
  add_link_options(${quillet_hardening_link})
  message(STATUS "Hardening flags: ${quillet_hardening_compile} ${quillet_hardening_link}")
endif()
