# Read by CPack once per generator. The .deb carries the copyright file and
# the changelog Debian's policy asks for instead of the loose license files;
# the .tar.gz and the .zip carry the license files.
set(brisk_build_dir "${CPACK_INSTALL_CMAKE_PROJECTS}")
list(GET brisk_build_dir 0 brisk_build_dir)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(brisk_extra debian)
else()
  set(brisk_extra licenses)
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${brisk_build_dir};brisk;Unspecified;/;${brisk_build_dir};brisk;${brisk_extra};/")
