# The Debian package (scripts/package): the programs with their catalogues in
# /usr/lib/vorn-transmitter and links in /usr/bin, the desktop entry and icon, the manual
# pages, copyright and changelog; the libraries it needs are found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn-transmitter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(VORN_MAINTAINER "Vorn transmitter developers <developers@vorn-transmitter.example>" CACHE STRING
    "The package's maintainer")
set(CPACK_PACKAGE_CONTACT "${VORN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "uploads programs from Intel HEX files to a signal processor unit")
# Lines of at most 80 characters, as Debian's description field wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vorn transmitter sends the program data of an Intel HEX file, and the names\n"
  "of eight programs, to a signal processor unit on a serial port. It comes with\n"
  "a window (vorn-transmitter), the same upload on the command line (vorn-send),\n"
  "a tool that writes the bytes an upload would send (vorn-stream), and a\n"
  "simulated unit on a pseudo-terminal (vorn-unit).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a display plugin, which the toolkit's library only recommends, the
# font its layout is measured for, and the toolkit's own translations for its dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-freefont-ttf, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
