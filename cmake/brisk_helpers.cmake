# A folder whose sources have not been written yet still yields a (empty)
# library, so the targets that link it configure and build.
function(brisk_nonempty_sources target var)
  if(NOT ${var})
    set(placeholder "${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp")
    file(WRITE "${placeholder}" "// no sources yet\n")
    set(${var} "${placeholder}" PARENT_SCOPE)
  endif()
endfunction()

# brisk_add_library(<target> [DEPS <targets>...])
#
# One static library per subsystem folder, made of every *.cpp in the folder
# that calls it. Files ending in _linux.cpp or _windows.cpp are OS backends:
# only the ones for the platform being built are compiled. Files ending in
# _sse2.cpp, _avx.cpp, _avx2.cpp or _fma.cpp are per-ISA translation units
# that the folder compiles itself (see src/solver), so they are left out here.
function(brisk_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  set(kept "")
  foreach(src IN LISTS sources)
    get_filename_component(name "${src}" NAME_WE)
    if(name MATCHES "_(linux|windows)$")
      if(NOT name MATCHES "_${BRISK_OS}$")
        continue()
      endif()
    endif()
    if(name MATCHES "_(sse2|avx|avx2|fma)$")
      continue()
    endif()
    get_filename_component(fname "${src}" NAME)
    if(fname IN_LIST ARG_EXCLUDE)
      continue()
    endif()
    list(APPEND kept "${src}")
  endforeach()
  brisk_nonempty_sources(${target} kept)
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
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  set(kept "")
  foreach(src IN LISTS sources)
    get_filename_component(name "${src}" NAME_WE)
    if(name MATCHES "_(linux|windows)$" AND NOT name MATCHES "_${BRISK_OS}$")
      continue()
    endif()
    list(APPEND kept "${src}")
  endforeach()
  if(NOT kept)
    return()
  endif()
  add_executable(${target} ${kept})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/tests")
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
endfunction()
