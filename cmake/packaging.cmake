# Install rules and packages. `cmake --install` puts the program under bin/
# and the README and license under share/doc/brisk/; CPack turns the same
# install tree into a .deb and a .tar.gz on Linux and a .zip on Windows,
# named with the project version and the platform.
include(GNUInstallDirs)

install(TARGETS brisk RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_PACKAGE_NAME brisk)
set(CPACK_PACKAGE_VENDOR "brisk developers")
set(CPACK_PACKAGE_CONTACT "brisk developers <brisk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CPU benchmark: Yee FDTD solver of Maxwell's equations, scored in MGups")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://localhost/brisk")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_STRIP_FILES ON)
# Only what the install rules above name goes into a package (GoogleTest,
# built from source for the Windows build, installs nothing of its own).
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "brisk-${PROJECT_VERSION}-windows-x86_64")
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_FILE_NAME "brisk-${PROJECT_VERSION}-linux-x86_64")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # brisk_<version>_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  # The run-time libraries (libfmt, libstdc++) come from what the program
  # really links, as dpkg-shlibdeps reads them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
