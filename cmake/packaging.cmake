# Install rules and packages. `cmake --install` puts the program under bin/
# and the README and license under share/doc/brisk/; CPack turns the same
# install tree into a .deb and a .tar.gz on Linux and a .zip on Windows,
# named with the project version and the platform.
include(GNUInstallDirs)

install(TARGETS brisk RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
# The schemas of --export-json's documents and of brisk compare's, for
# whoever reads them.
install(FILES "${PROJECT_SOURCE_DIR}/schema/brisk-results.schema.json"
              "${PROJECT_SOURCE_DIR}/schema/brisk-comparison.schema.json"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/brisk")

# The manual page is the program's own help, turned into a page by help2man
# from the brisk just built, so the two never disagree.
if(NOT WIN32)
  find_program(BRISK_HELP2MAN help2man REQUIRED)
  set(brisk_man "${PROJECT_BINARY_DIR}/man/brisk.1")
  add_custom_command(
    OUTPUT "${brisk_man}.gz"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/man"
    COMMAND "${BRISK_HELP2MAN}" --no-info --section=1 "--version-string=${PROJECT_VERSION}"
            "--name=${CMAKE_PROJECT_DESCRIPTION}" "--output=${brisk_man}" $<TARGET_FILE:brisk>
    COMMAND gzip -9nf "${brisk_man}"
    DEPENDS brisk
    COMMENT "Manual page brisk.1 from brisk --help"
    VERBATIM)
  add_custom_target(brisk_man_page ALL DEPENDS "${brisk_man}.gz")
  install(FILES "${brisk_man}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()

set(CPACK_PACKAGE_NAME brisk)
set(CPACK_PACKAGE_VENDOR "brisk developers")
set(CPACK_PACKAGE_CONTACT "brisk developers <brisk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_DESCRIPTION}")
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
