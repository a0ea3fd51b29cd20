# The Debian package: `cpack -G DEB` in the build folder writes
# tavrin_VERSION_ARCH.deb, installing into /usr; Depends comes from the
# libraries the programs link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "The Tavrin developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "follow the price trends of Japanese stocks")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/tavrin/tavrin")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Tavrin developers <tavrin@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CPACK_PACKAGE_HOMEPAGE_URL})
# The summary above is the first line; CPack indents the lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavrin is a Japanese-language desktop tool with which a private investor
follows the price trends of the stocks listed on the Japanese exchanges. It
keeps ten periods of closing prices per stock (day, week and month), takes new
prices from spreadsheet workbooks, and screens a chosen universe of stocks
with 67 trend-pattern buttons. Two watch lists, chart links, dated backups and
a memo pad complete it; tavrin-cli performs every data operation without a
window.")
# Depends: the libraries the programs link, found by dpkg-shlibdeps: Qt 6,
# SQLite, FreeXL, minizip, expat and libxlsxwriter (Debian 12: libxlsxwriter4,
# which writes the .xlsx files of the grids and of tavrin-cli --format xlsx).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides them (CPack adds the libraries to this list): Qt's own Japanese
# texts, loaded at start (qtbase_ja.qm).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The program shows Japanese text: a CJK font must be there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic")
# tavrin-fetch-notify shows the daily fetch's report with notify-send when it is there.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libnotify-bin")

include(CPack)
