# The version is project(VERSION) alone; the command, the Python package and the .deb
# all read it from there. The git revision is looked up at every build, so a commit
# shows in --version without a new configure; the header is rewritten only when it
# changes, so an unchanged revision rebuilds nothing.
find_program(CDMADIAG_GIT git)
set(CDMADIAG_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/cdmadiag_build_version.h)
add_custom_target(cdmadiag_revision
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DGIT=${CDMADIAG_GIT} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DOUTPUT=${CDMADIAG_VERSION_HEADER} -P ${CMAKE_CURRENT_LIST_DIR}/write_version.cmake
  BYPRODUCTS ${CDMADIAG_VERSION_HEADER}
  VERBATIM)
add_library(cdmadiag_version INTERFACE)
target_include_directories(cdmadiag_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_dependencies(cdmadiag_version cdmadiag_revision)
