# The Debian package that scripts/package builds with CPack: what
# `cmake --install` puts under /usr, with the dependencies that dpkg-shlibdeps
# reads from the shared libraries the program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnwell)
# All four parts of the project's version (CPack's default drops the fourth).
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varnwell developers")
set(CPACK_PACKAGE_CONTACT "Varnwell developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bulk renamer for files and folders")
set(CPACK_PACKAGE_DESCRIPTION
  "Varnwell renames many files, or many folders, in one go: collect items into
a list, state how the new names are made (masks with tokens for the old name,
the extension, a counter, the date and the time; search and replace; a
letter-case rule), compare old and new names side by side, rename on disk,
and roll everything back. A rename never replaces an existing file or folder.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window cannot open without a Qt platform plugin, which the Qt GUI
# library only recommends; the libraries themselves come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)

# The package's copyright file, where Debian looks for it: the copyright
# holder and the licence the AppStream metadata declares. The folder is named
# after the package, not after the CMake project ("Varnwell").
install(FILES ${CMAKE_SOURCE_DIR}/data/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})
