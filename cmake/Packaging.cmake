# The Debian package: `cmake --build BUILD --target package` makes tallemo_<version>_amd64.deb.
# A Debian package installs under /usr, never /usr/local, and the programs are built knowing their
# installed folder: a build for another prefix makes no package and says why.
# CPack runs this check before it makes the package.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/PackagePrefixCheck.cmake
     "if(NOT \"${CMAKE_INSTALL_PREFIX}\" STREQUAL \"/usr\")\n"
     "    message(FATAL_ERROR \"The Debian package installs under /usr, but this build was \"\n"
     "        \"configured for ${CMAKE_INSTALL_PREFIX}. Configure it again with \"\n"
     "        \"-DCMAKE_INSTALL_PREFIX=/usr (the default) to make the package.\")\n"
     "endif()\n")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/PackagePrefixCheck.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallemo)
set(CPACK_PACKAGE_VENDOR "The Tallemo developers")
set(CPACK_PACKAGE_CONTACT "The Tallemo developers <tallemo@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns pasted card and dividend statements into spreadsheet rows")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallemo is a small desktop utility for keeping a household budget in a
spreadsheet. Paste a credit-card usage statement, a brokerage's dividend
notices or a View card or co-op statement into its text area and press
the button for that kind of statement: Tallemo rewrites the text into
TAB-separated rows and puts them on the clipboard. US dividends are
converted to yen at the day's rate. The interface is Japanese. The
package also holds tallemo-convert, which runs the same conversions on
text files.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What shlibdeps cannot see: the X11 platform plugin and the SQLite driver of the history that Qt
# loads at run time, Qt's Japanese translations, and the fonts the window asks for by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6sql6-sqlite, qt6-translations-l10n, fonts-motoya-l-maruberi, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
include(CPack)
