# The Debian package: cpack -G DEB in a Release build (scripts/package).
# Everything in it comes from the install rules; the tests, benchmarks and
# fuzzers have none, and GoogleTest and Benchmark are the system's, so none of
# theirs are added either.
include(GNUInstallDirs)

if(ATTRACTOR_BUILD_GUI)
  # The editor's other files are installed by app/.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/man/attractor.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME attractor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Attractor maintainers <maintainers@attractor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for iterated-function-system fractals")
# Lines as the control file keeps them: Debian wants them under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
Attractor edits fractals made of a short list of affine maps of the plane,
shown as glyphs to move, scale, rotate and shear with the mouse, beside the
attractor that the chaos game draws after every edit. It reads and writes
.frac documents, imports Fractint .ifs files and exports images, .ifs and
flam3 .flame files. attractor-cli draws, converts and reports documents
without a display and gives file managers thumbnails of them.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The library packages the binaries need, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
