# The Debian package: `cpack -G DEB` in the build folder writes mixgen_<version>_<arch>.deb
# with the install rules' files below /usr. The Qt runtime libraries it needs are found by
# dpkg-shlibdeps from the executables; xdg-open is started by name, so it is named here, and
# TagLib's library (which reads the tags of the drawn songs) is named too.
set(CPACK_PACKAGE_NAME mixgen)
set(CPACK_PACKAGE_VENDOR "MP3 Tunepicker")
set(CPACK_PACKAGE_CONTACT "MP3 Tunepicker developers <mixgen@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "random playlists of music files")
set(CPACK_PACKAGE_DESCRIPTION
    "MP3 Tunepicker finds every song file below the folders it is given,
draws the requested number of songs at random and without repeats, and
writes them as an M3U playlist. It works from its window, from the
command line without a display, and from the folder context menu of
Dolphin and Nautilus.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, libtag1v5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian keeps manual pages and changelogs compressed; the plain install keeps them as they are.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/MixgenPackageCompress.cmake)
include(CPack)
