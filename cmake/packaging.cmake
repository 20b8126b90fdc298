# Install rules and packages. `cmake --install` puts the program under bin/
# and the README and license under share/doc/brisk/; CPack turns the same
# install tree into a .deb and a .tar.gz on Linux and a .zip on Windows,
# named with the project version and the platform.
#
# Two components differ between the packages: "licenses" (LICENSE and
# LICENSE.dygraphs, for the .tar.gz and the .zip) and "debian" (the copyright
# file in Debian's format that stands for both, and the changelog, for the
# .deb); cpack_project_config.cmake picks them per generator.
include(GNUInstallDirs)

install(TARGETS brisk RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DOCDIR}"
        COMPONENT licenses)
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

  # The .deb's copyright file, written from brisk's LICENSE and Debian's
  # notice for the dygraphs inlined into the program, and its changelog,
  # compressed as Debian's tools do (-n: no name or time stamp, so the same
  # text gives the same bytes).
  set(brisk_debian "${PROJECT_BINARY_DIR}/debian")
  add_custom_command(
    OUTPUT "${brisk_debian}/copyright"
    COMMAND "${CMAKE_COMMAND}" "-DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE"
            "-DDYGRAPHS_COPYRIGHT=${BRISK_DYGRAPHS_COPYRIGHT}"
            "-DDYGRAPHS_JS=${BRISK_DYGRAPHS_DIR}/dygraph.min.js"
            "-DOUTPUT=${brisk_debian}/copyright"
            -P "${PROJECT_SOURCE_DIR}/cmake/debian_copyright.cmake"
    DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE" "${BRISK_DYGRAPHS_COPYRIGHT}"
            "${BRISK_DYGRAPHS_DIR}/dygraph.min.js"
            "${PROJECT_SOURCE_DIR}/cmake/debian_copyright.cmake"
    COMMENT "Debian copyright file from LICENSE and dygraphs' notice"
    VERBATIM)
  add_custom_command(
    OUTPUT "${brisk_debian}/changelog.gz"
    COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/docs/changelog"
            "${brisk_debian}/changelog"
    COMMAND gzip -9nf "${brisk_debian}/changelog"
    DEPENDS "${PROJECT_SOURCE_DIR}/docs/changelog"
    COMMENT "changelog.gz from docs/changelog"
    VERBATIM)
  add_custom_target(brisk_debian_docs ALL
                    DEPENDS "${brisk_debian}/copyright" "${brisk_debian}/changelog.gz")
  install(FILES "${brisk_debian}/copyright" "${brisk_debian}/changelog.gz"
          DESTINATION "${CMAKE_INSTALL_DOCDIR}" COMPONENT debian)
endif()

set(CPACK_PACKAGE_NAME brisk)
set(CPACK_PACKAGE_VENDOR "brisk developers")
# A placeholder until the project has a maintainer address of its own: the
# .invalid domain is reserved for names that must never resolve. No homepage
# either while there is none.
set(CPACK_PACKAGE_CONTACT "brisk maintainers (placeholder) <maintainer@brisk.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_STRIP_FILES ON)
# Only what the install rules above name goes into a package (GoogleTest,
# built from source for the Windows build, installs nothing of its own), and
# of that the components each generator takes.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cpack_project_config.cmake")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "brisk-${PROJECT_VERSION}-windows-x86_64")
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_FILE_NAME "brisk-${PROJECT_VERSION}-linux-x86_64")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # brisk_<version>_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Under the summary line above.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Each benchmark thread advances a private cubic grid of electric and magnetic
fields with Yee's leapfrog scheme, in double precision, for a fixed time;
the score is the number of grid-point updates per second over all threads,
in MGups. Every step is checked against a known property of its workload and
the timers must meet the HWBOT rules, so a printed score can be compared.
The solver is built for SSE2, AVX, AVX2 and FMA, and runs can sweep grid
size, duration, thread count or instruction set.

brisk prints a results table and keeps every run in a per-user history; it
writes the results as JSON, CSV, Markdown or a self-contained HTML report,
and brisk compare tells with Welch's t-test whether one set of runs is
faster than another.]])
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  # The run-time libraries (libfmt, libstdc++) come from what the program
  # really links, as dpkg-shlibdeps reads them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
