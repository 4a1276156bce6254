# Installing the game like other terminal games: the program, its manual page in section 6, its
# licence and changelog, and a Debian package of them. The version comes from project() and
# nowhere else.
include(GNUInstallDirs)

set(SMINATORE_INSTALL_BINDIR "${CMAKE_INSTALL_BINDIR}" CACHE STRING
  "Where the program goes, relative to the install prefix (Debian puts games in games)")
set(SMINATORE_MAINTAINER "" CACHE STRING
  "Who packages the game, as \"Name <address>\": the package's maintainer, who signs its changelog")
if(SMINATORE_MAINTAINER AND
   NOT SMINATORE_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+\\.[^<>@ ]+>$")
  message(FATAL_ERROR "SMINATORE_MAINTAINER is '${SMINATORE_MAINTAINER}', not 'Name <address>'")
endif()

# Directories made by installing get the usual modes whatever the umask, so packages built on
# different machines list the same modes.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Compressed where gzip is at hand, as Debian ships manual pages and changelogs; -n leaves out
# the name and the time, so the same text gives the same bytes.
find_program(SMINATORE_GZIP gzip)
function(sminatore_compressed file out_var)
  if(SMINATORE_GZIP)
    add_custom_command(OUTPUT "${file}.gz"
      COMMAND "${SMINATORE_GZIP}" -9 -n -c "${file}" > "${file}.gz"
      DEPENDS "${file}" VERBATIM)
    get_filename_component(name "${file}" NAME)
    add_custom_target("sminatore_${name}_gz" ALL DEPENDS "${file}.gz")
    set(${out_var} "${file}.gz" PARENT_SCOPE)
  else()
    set(${out_var} "${file}" PARENT_SCOPE)
  endif()
endfunction()

configure_file(man/sminatore.6.in "${PROJECT_BINARY_DIR}/man/sminatore.6" @ONLY)
sminatore_compressed("${PROJECT_BINARY_DIR}/man/sminatore.6" manual_page)

# The licence as Debian's machine-readable copyright file; LICENSE stays the one copy of its
# text. Debian calls the MIT licence "Expat".
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no 'Copyright (c) ...' line followed by the licence's text")
endif()
set(licence_holders "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" licence_text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/doc/copyright" @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@

Files: *
Copyright: @licence_holders@
License: Expat
@licence_text@
")

# The changelog gives the version too: its newest entry must be project()'s version.
file(STRINGS "${PROJECT_SOURCE_DIR}/cmake/changelog.in" changelog_head LIMIT_COUNT 1)
string(REGEX MATCH "^${PROJECT_NAME} \\(([^)]*)\\) " changelog_head "${changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "cmake/changelog.in: the newest entry is for version '${CMAKE_MATCH_1}', "
    "project() says ${PROJECT_VERSION}; give the version its entry")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/cmake/changelog.in")

install(TARGETS sminatore RUNTIME DESTINATION "${SMINATORE_INSTALL_BINDIR}")
# Stripped (cmake --install --strip, and CPack's CPACK_STRIP_FILES) as Debian's dh_strip strips a
# program: CMake's strip keeps the compiler's .comment and .note sections, which lintian reports
# as binary-has-unneeded-section. The build ID's note is a section of its own and stays. Only
# where programs are ELF files, which GNU strip handles.
if(UNIX AND NOT APPLE AND CMAKE_STRIP)
  set(strip_sections [[
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND "@CMAKE_STRIP@" --remove-section=.comment --remove-section=.note
        "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@SMINATORE_INSTALL_BINDIR@/$<TARGET_FILE_NAME:sminatore>"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()]])
  string(CONFIGURE "${strip_sections}" strip_sections @ONLY)
  install(CODE "${strip_sections}")
endif()
install(FILES "${manual_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${PROJECT_BINARY_DIR}/doc/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
# The changelog is the package's, each entry signed by its maintainer: only with one named.
if(SMINATORE_MAINTAINER)
  configure_file("${PROJECT_SOURCE_DIR}/cmake/changelog.in" "${PROJECT_BINARY_DIR}/doc/changelog" @ONLY)
  sminatore_compressed("${PROJECT_BINARY_DIR}/doc/changelog" changelog)
  install(FILES "${changelog}" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()

# cpack -G DEB in the build folder. Name, version and synopsis come from project(). With
# SOURCE_DATE_EPOCH set, CPack stamps every file with that time and leaves it out of the
# compressed archives, so the same sources give the same .deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VENDOR "Sorvendi")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SMINATORE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# As dpkg-deb compresses: xz keeps the package near its old size, licence and changelog included.
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends on the shared libraries the program really links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The extended description, in lines Debian shows as they are (at most 79 characters, as each
# gets a leading space); an empty line parts paragraphs.
set(CPACK_PACKAGE_DESCRIPTION [=[
Un gioco di logica per il terminale, in italiano. Dieci bombe sono nascoste
a caso in un campo di 10 per 10 caselle; a ogni turno si sceglie una casella
con due tasti, la colonna (A-J) e la riga (0-9), senza Invio. Una bomba fa
perdere subito; ogni altra casella mostra quante bombe la toccano, e una
casella senza bombe intorno apre anche quelle vicine. Si vince scoprendo
tutte le 90 caselle senza bomba.

Il gioco legge i tasti dal terminale stesso, usa lo schermo alternativo e
alla fine restituisce il terminale com'era. Il campo dipende solo
dall'orologio: due partite avviate nello stesso secondo hanno lo stesso campo.]=])
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/package_checks.cmake")
include(CPack)
