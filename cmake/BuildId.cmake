# The version both programs print, "3.5 (BUILD)", comes from two generated headers
# reached through the interface library plandrel_version:
#   plandrel/Version.h  PLANDREL_VERSION  the project's version, "3.5", written at configure time
#   plandrel/BuildId.h  PLANDREL_BUILD    the build, written before every build and touched
#                                         only when it changes (see WriteBuildId.cmake)
# The build is the short hash of the git commit being built, or the date outside a
# git checkout; -DPLANDREL_BUILD_ID=... names it explicitly, for instance in a
# distributor's package built from a source archive.

set(PLANDREL_BUILD_ID "" CACHE STRING "The build named after the version (default: git short hash, else the date)")

set(_generated "${PROJECT_BINARY_DIR}/generated")
configure_file("${PROJECT_SOURCE_DIR}/cmake/Version.h.in" "${_generated}/plandrel/Version.h" @ONLY)

find_package(Git QUIET)
add_custom_target(plandrel_build_id
  COMMAND "${CMAKE_COMMAND}"
          "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
          "-DOUTPUT=${_generated}/plandrel/BuildId.h"
          "-DGIT_EXECUTABLE=${GIT_EXECUTABLE}"
          "-DBUILD_ID=${PLANDREL_BUILD_ID}"
          -P "${PROJECT_SOURCE_DIR}/cmake/WriteBuildId.cmake"
  BYPRODUCTS "${_generated}/plandrel/BuildId.h"
  COMMENT "Naming the build"
  VERBATIM)

add_library(plandrel_version INTERFACE)
target_include_directories(plandrel_version INTERFACE "${_generated}")
add_dependencies(plandrel_version plandrel_build_id)
