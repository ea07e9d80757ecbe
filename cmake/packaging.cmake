# `cpack -G DEB` in a build tree makes the Debian package; scripts/build-package.sh does the
# whole build for it. The libraries it needs are found by dpkg-shlibdeps, not listed by hand.
set(CPACK_PACKAGE_NAME quenda-ipod)
set(CPACK_PACKAGE_VENDOR "The Quenda developers")
set(CPACK_PACKAGE_CONTACT "The Quenda developers <quenda-ipod@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Prepare organizer material for an iPod used as a disk")
set(CPACK_PACKAGE_DESCRIPTION "Contacts as vCard files, imported contacts, picture folders, \
documents as plain-text notes, spreadsheets as text, long files split, and files and folders \
copied into organised places, all gathered in a staging folder on the Desktop.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The database driver is loaded as a plug-in, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
include(CPack)
