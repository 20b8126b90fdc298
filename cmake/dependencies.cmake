# Third-party dependencies. The native build takes Debian's packages; the
# Windows cross build must not see the host's /usr/include, so it uses fmt
# header-only from an include folder that holds nothing else, and builds
# GoogleTest from Debian's source package.
if(CMAKE_CROSSCOMPILING)
  set(BRISK_FMT_STAGE "${CMAKE_BINARY_DIR}/fmt-include")
  file(MAKE_DIRECTORY "${BRISK_FMT_STAGE}")
  file(COPY /usr/include/fmt DESTINATION "${BRISK_FMT_STAGE}")
  add_library(brisk_fmt INTERFACE)
  target_include_directories(brisk_fmt SYSTEM INTERFACE "${BRISK_FMT_STAGE}")
  target_compile_definitions(brisk_fmt INTERFACE FMT_HEADER_ONLY)
  add_library(fmt::fmt ALIAS brisk_fmt)
  # nlohmann/json is header-only: found where Debian installs it, then its
  # headers alone are staged like fmt's.
  find_package(nlohmann_json 3.10 REQUIRED CONFIG NO_CMAKE_FIND_ROOT_PATH)
  get_target_property(brisk_json_include nlohmann_json::nlohmann_json
                      INTERFACE_INCLUDE_DIRECTORIES)
  list(GET brisk_json_include 0 brisk_json_include)  # the folder that holds nlohmann/
  set(BRISK_JSON_STAGE "${CMAKE_BINARY_DIR}/json-include")
  file(MAKE_DIRECTORY "${BRISK_JSON_STAGE}")
  file(COPY "${brisk_json_include}/nlohmann" DESTINATION "${BRISK_JSON_STAGE}")
  add_library(brisk_json INTERFACE)
  target_include_directories(brisk_json SYSTEM INTERFACE "${BRISK_JSON_STAGE}")
  # Boost.Math is header-only too; a folder holding only a link to Debian's
  # boost/ keeps the rest of /usr/include out of the cross compiler's sight.
  find_path(BRISK_BOOST_INCLUDE boost/math/distributions/students_t.hpp
            PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(BRISK_BOOST_STAGE "${CMAKE_BINARY_DIR}/boost-include")
  file(MAKE_DIRECTORY "${BRISK_BOOST_STAGE}")
  file(CREATE_LINK "${BRISK_BOOST_INCLUDE}/boost" "${BRISK_BOOST_STAGE}/boost" SYMBOLIC)
  add_library(brisk_boost_math INTERFACE)
  target_include_directories(brisk_boost_math SYSTEM INTERFACE "${BRISK_BOOST_STAGE}")
  find_package(Threads REQUIRED)
  if(BRISK_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    # googletest's own CMake already defines the GTest:: aliases.
  endif()
else()
  find_package(fmt REQUIRED)
  find_package(nlohmann_json 3.10 REQUIRED)
  add_library(brisk_json INTERFACE)
  target_link_libraries(brisk_json INTERFACE nlohmann_json::nlohmann_json)
  # Boost.Math (Debian libboost-math-dev) is header-only: the t distribution.
  find_path(BRISK_BOOST_INCLUDE boost/math/distributions/students_t.hpp REQUIRED)
  add_library(brisk_boost_math INTERFACE)
  target_include_directories(brisk_boost_math SYSTEM INTERFACE "${BRISK_BOOST_INCLUDE}")
  find_package(Threads REQUIRED)
  if(BRISK_BUILD_TESTS)
    find_package(GTest REQUIRED)
  endif()
  if(BRISK_BUILD_BENCH)
    find_package(benchmark REQUIRED)
  endif()
endif()
