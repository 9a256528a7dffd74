# SPDX-License-Identifier: MIT
# `cpack -G DEB` in the build folder makes velmora_<version>_amd64.deb from the
# install rules (packaging/CMakeLists.txt and the programs' own).
#
# The dependencies come from the ELF files themselves: dpkg-shlibdeps turns
# every shared library the three programs link into the Debian package that
# ships it, with the version the symbols need. Those packages also carry the
# Qt plugins the widget loads at run time on Debian 12: the xcb platform
# plugin is in libqt6gui6, the SVG image and icon engine plugins in
# libqt6svg6 (both linked, so both already there). What no linked library
# brings is added by hand below, each with its reason.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Brindlewick)
set(CPACK_PACKAGE_VERSION ${VELMORA_DEB_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop widget that shows how full every drive is")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VELMORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Velmora is a small always-on desktop widget that sits beneath the other
windows, borderless and half transparent, with one panel per drive: a
picture of the kind of drive, its name and file system, a bar that fills
with the used share and the free space. Its menu lives in the notification
area: start with the session, language, transparency, refresh interval,
network drives.

The package also holds velmora-wql, which prints the drives as the widget
sees them, and velmora-lang, which exports and packs translations.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds:
# - qt6-translations-l10n: the catalogues of Qt's own texts (message box
#   buttons, context menus) that the widget loads for its active language
#   with QTranslator; they are data files, which no ELF dependency names.
# - libcurl4: velmora and velmora-wql open libcurl.so.4 with dlopen when a
#   Host is a Prometheus server's URL instead of linking it (a local query
#   then loads none of its libraries), so no ELF file names it any more;
#   7.85.0 brought CURLOPT_PROTOCOLS_STR, which keeps the transfers to HTTP(S).
# - libsecret-1-0: velmora opens libsecret-1.so.0 with dlopen the first time a
#   server's password is kept, looked up or forgotten, for the same reason.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libcurl4 (>= 7.85.0), libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
