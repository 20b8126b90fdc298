# brisk_folder_sources(<var> [PATTERNS <globs>...] [EXCLUDE <globs>...])
#
# The calling folder's sources matching PATTERNS (default *.cpp) and none of
# EXCLUDE. Files ending in _linux.cpp or _windows.cpp are OS backends: only the
# ones for the platform being built are kept. Files ending in _sse2.cpp,
# _avx.cpp, _avx2.cpp or _fma.cpp are per-ISA translation units that their
# folder compiles itself with its own flags (see src/solver), so they are left
# out.
function(brisk_folder_sources var)
  cmake_parse_arguments(ARG "" "" "PATTERNS;EXCLUDE" ${ARGN})
  if(NOT ARG_PATTERNS)
    set(ARG_PATTERNS "*.cpp")
  endif()
  set(globs "")
  foreach(pattern IN LISTS ARG_PATTERNS)
    list(APPEND globs "${CMAKE_CURRENT_SOURCE_DIR}/${pattern}")
  endforeach()
  set(excluded "")
  if(ARG_EXCLUDE)
    set(exclude_globs "")
    foreach(pattern IN LISTS ARG_EXCLUDE)
      list(APPEND exclude_globs "${CMAKE_CURRENT_SOURCE_DIR}/${pattern}")
    endforeach()
    file(GLOB excluded CONFIGURE_DEPENDS ${exclude_globs})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  set(kept "")
  foreach(src IN LISTS sources)
    get_filename_component(name "${src}" NAME_WE)
    if(name MATCHES "_(linux|windows)$" AND NOT name MATCHES "_${BRISK_OS}$")
      continue()
    endif()
    if(name MATCHES "_(sse2|avx|avx2|fma)$" OR src IN_LIST excluded)
      continue()
    endif()
    list(APPEND kept "${src}")
  endforeach()
  set(${var} "${kept}" PARENT_SCOPE)
endfunction()

# brisk_add_library(<target> [PATTERNS <globs>...] [EXCLUDE <globs>...]
#                   [DEPS <targets>...])
#
# One static library of the calling folder's sources (brisk_folder_sources).
function(brisk_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PATTERNS;EXCLUDE" ${ARGN})
  brisk_folder_sources(kept PATTERNS ${ARG_PATTERNS} EXCLUDE ${ARG_EXCLUDE})
  add_library(${target} STATIC ${kept})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# brisk_add_test(<target> [DEPS <targets>...])
#
# One GoogleTest executable made of every *.cpp in the calling tests folder
# (with the same OS-backend filtering as above). CTest runs it; in the Windows
# cross build CMAKE_CROSSCOMPILING_EMULATOR makes CTest run it under Wine.
function(brisk_add_test target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  brisk_folder_sources(kept)
  if(NOT kept)
    return()
  endif()
  add_executable(${target} ${kept})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/tests")
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
endfunction()

# brisk_forbid_dependency(<target> FOLDER <dir> FORBIDDEN <targets>... INCLUDES <prefixes>...)
#
# Fails the configuration when <target> links, directly or through its
# dependencies, any of the FORBIDDEN targets, or when a source of <dir>
# includes a header under one of the INCLUDES prefixes ("solver/"). Layering
# rules stated in comments rot; this one is checked on every configure.
function(brisk_forbid_dependency target)
  cmake_parse_arguments(ARG "" "FOLDER" "FORBIDDEN;INCLUDES" ${ARGN})
  set(queue ${target})
  set(seen "")
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current IN_LIST ARG_FORBIDDEN)
      message(FATAL_ERROR "${target} must not depend on ${current}")
    endif()
    get_target_property(links ${current} LINK_LIBRARIES)
    if(links)
      list(APPEND queue ${links})
    endif()
  endwhile()
  file(GLOB sources "${ARG_FOLDER}/*.cpp" "${ARG_FOLDER}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      foreach(prefix IN LISTS ARG_INCLUDES)
        if(line MATCHES "^#include \"${prefix}")
          message(FATAL_ERROR "${source} must not include ${prefix}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
