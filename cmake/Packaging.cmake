# The Debian package, navrello-plandrel: `make package` (or cpack -G DEB in a
# build folder configured with -DCMAKE_INSTALL_PREFIX=/usr) makes it from the
# install rules: the two programs, the manual pages, the desktop entry, the
# maps database file type, the icons and the user's guide.
#
# Dependencies: dpkg-shlibdeps finds the libraries the programs link (Qt, libjpeg,
# libpng, zlib, the C and C++ run-times) and the package depends on their Debian
# packages, never carrying copies. Qt's window-system plug-ins and its SVG icon
# engine (the tool bar's images) are loaded at run time, not linked, so the
# package names them itself.
#
# Desktop integration needs no maintainer scripts: the packages that own the
# caches watch their folders with dpkg file triggers, so installing or removing
# files under /usr/share/mime/packages (shared-mime-info: update-mime-database),
# /usr/share/applications (desktop-file-utils: update-desktop-database),
# /usr/share/icons/hicolor (hicolor-icon-theme: gtk-update-icon-cache) and
# /usr/share/man (man-db: mandb) updates each cache that is present, at the end of
# the dpkg run, for installation and removal alike. scripts/package-test checks
# that the association of ".pdb" files with the program comes and goes with it.

# The user's guide, with its picture where its link expects it.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/navrello-plandrel")
install(FILES "${PROJECT_SOURCE_DIR}/docs/screenshot.png" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/navrello-plandrel/docs")
# The licence, GPL-3.0-or-later (libimagequant, which the programs link, is
# under it), as Debian packages state it.
install(FILES "${PROJECT_SOURCE_DIR}/cmake/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/navrello-plandrel")

set(PLANDREL_MAINTAINER "Navrello Plandrel maintainers <maintainers@navrello-plandrel.invalid>"
  CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR "DEB")
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME "navrello-plandrel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Halvorin")
set(CPACK_PACKAGE_CONTACT "${PLANDREL_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maps databases for Palm OS handhelds, built from pictures")
set(CPACK_PACKAGE_DESCRIPTION
"Navrello Plandrel builds maps databases for the Navrello GPS application on
Palm OS handhelds. Each picture (BMP, GIF, JPEG, PNG or TIFF; a true-colour
picture has its colours reduced to 256) becomes a Palm bitmap of 1, 2, 4 or 8
bits per pixel, optionally compressed and with a colour table, stored with a
name and the latitude and longitude of its corners; pictures too large for one
record are cut into tiles. Georeferenced pictures (GeoTIFF, world files,
OziExplorer calibrations) place themselves, warped to latitude and longitude
when they are drawn in another projection.

The package holds the desktop application, plandrel-gui, which opens \".pdb\"
maps databases from the file manager, and the command-line tool plandrel for
batch work.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")

include(CPack)
