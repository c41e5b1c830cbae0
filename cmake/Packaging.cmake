# The Debian package (scripts/package): the programs, the desktop entry and icon, and the
# catalogues, installed under /usr; the libraries it needs are found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn-transmitter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vorn transmitter developers <vorn-transmitter@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "uploads programs from Intel HEX files to a signal processor unit")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vorn transmitter sends the program data of an Intel HEX file, and the names of eight programs, "
  "to a signal processor unit on a serial port. It comes with a window (vorn-transmitter), the same "
  "upload on the command line (vorn-send), a tool that writes the bytes an upload would send "
  "(vorn-stream), and a simulated unit on a pseudo-terminal (vorn-unit).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a display plugin, which the toolkit's library only recommends, and the
# font its layout is measured for.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-freefont-ttf")
set(CPACK_STRIP_FILES ON)
include(CPack)
