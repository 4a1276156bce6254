# Read by cpack before it builds the package (CPACK_PROJECT_CONFIG_FILE).

# CPack would name its own variables; this names the one to set.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "The Debian package needs its maintainer: configure with "
    "-DSMINATORE_MAINTAINER=\"Name <address>\"")
endif()

# CPack gives the three members of the .deb the modes its umask leaves them, and nothing in
# CMake sets that umask: where the same bytes are asked for, say so when it differs from the one
# Debian's builders use.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND sh -c umask OUTPUT_VARIABLE umask OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT umask STREQUAL "0022")
    message(WARNING "cpack runs with umask ${umask}, not 0022 as Debian's builders do: the "
      "package's bytes will differ from theirs")
  endif()
endif()
