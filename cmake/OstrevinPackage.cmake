# The Debian package: `cpack -G DEB` in a build tree (tools/package.sh) makes
# ostrevin_<version>_<arch>.deb of everything the install rules put in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrevin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of Japanese text files to Shift-JIS")
set(CPACK_PACKAGE_DESCRIPTION
    "Ostrevin converts a list of Japanese text files in one run: UTF-8, EUC-JP or\n\
7-bit JIS to Shift-JIS (forced or detected) with CR LF line ends, optional HTML\n\
stripping and a conversion table of replacements or Perl-like pattern\n\
commands. It comes as a Japanese-language window (ostrevin) and a command-line\n\
tool (ostrevin-cli).")
set(OSTREVIN_PACKAGE_MAINTAINER "Ostrevin developers <ostrevin@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${OSTREVIN_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
# Independent of the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see, because Qt loads it at run time: the window
# needs a platform plugin to start at all, the SVG plugins for its icon and a
# Japanese face for its texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, fonts-noto-cjk | fonts-japanese-gothic")
# Qt's own dialogs in Japanese, and a way to open the manual from Help.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")

include(CPack)
