# Installing the game like other terminal games: the program, its manual page in section 6, and
# a Debian package of both. The version comes from project() and nowhere else.
include(GNUInstallDirs)

set(SMINATORE_INSTALL_BINDIR "${CMAKE_INSTALL_BINDIR}" CACHE STRING
  "Where the program goes, relative to the install prefix (Debian puts games in games)")

configure_file(man/sminatore.6.in "${PROJECT_BINARY_DIR}/man/sminatore.6" @ONLY)
set(manual_page "${PROJECT_BINARY_DIR}/man/sminatore.6")

# Installed compressed where gzip is at hand, as Debian ships manual pages; -n leaves out the
# name and the time, so the same page gives the same bytes.
find_program(SMINATORE_GZIP gzip)
if(SMINATORE_GZIP)
  add_custom_command(OUTPUT "${manual_page}.gz"
    COMMAND "${SMINATORE_GZIP}" -9 -n -c "${manual_page}" > "${manual_page}.gz"
    DEPENDS "${manual_page}" VERBATIM)
  add_custom_target(sminatore_manual_page ALL DEPENDS "${manual_page}.gz")
  set(manual_page "${manual_page}.gz")
endif()

install(TARGETS sminatore RUNTIME DESTINATION "${SMINATORE_INSTALL_BINDIR}")
install(FILES "${manual_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")

# cpack -G DEB in the build folder. Name, version and summary come from project().
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VENDOR "Sorvendi")
set(CPACK_PACKAGE_CONTACT "Sorvendi" CACHE STRING "Maintainer named in the package")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends on the shared libraries the program really links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION "Un gioco per il terminale, in italiano: si sceglie una casella per \
turno con due tasti, la colonna (A-J) e la riga (0-9), senza Invio. Una bomba fa perdere \
subito; ogni altra casella mostra quante bombe la toccano. Si vince scoprendo tutte le 90 \
caselle senza bomba.")
include(CPack)
