# `make package` (cpack -G DEB): a Debian package of the program, installed under /usr,
# its library dependencies found by dpkg-shlibdeps. Qt's platform and image format plugins
# (WebP, TIFF) and the Japanese font are loaded at run time, so no library link names
# them: they are listed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trimlet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Trimlet developers <trimlet@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture cropper for the clipboard and the screen")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the clipboard's picture, a screen capture or a dropped picture file at one screen\n\
pixel per picture pixel, lets the user choose a rectangle with the mouse and the\n\
keyboard, and saves it as BMP, PNG, GIF or JPEG. Its texts are Japanese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-image-formats-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland, wl-clipboard")
set(CPACK_STRIP_FILES ON)
include(CPack)
