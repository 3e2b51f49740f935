# What `cmake --install` and `cpack -G DEB` ship: the command, its manual page and bash
# completion, beside the Python package (python/CMakeLists.txt installs that).
include(GNUInstallDirs)

install(TARGETS cdmadiag_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Compressed at configure time (again whenever the page changes), so an install needs no
# build step of its own; -n keeps the bytes free of the time stamp.
set(CDMADIAG_MAN_PAGE ${PROJECT_SOURCE_DIR}/man/cdmadiag.1)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CDMADIAG_MAN_PAGE})
execute_process(COMMAND gzip -9nc ${CDMADIAG_MAN_PAGE} OUTPUT_FILE ${PROJECT_BINARY_DIR}/cdmadiag.1.gz
                COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_BINARY_DIR}/cdmadiag.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completions/cdmadiag DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The .deb: `cpack -G DEB` in the build tree writes cdmadiag_<version>_amd64.deb. The
# libraries the binaries link (fmt, PROJ, SQLite, zlib, libstdc++) become dependencies
# through dpkg-shlibdeps; the Python part names the Debian packages its imports need.
set(CPACK_PACKAGE_NAME cdmadiag)
set(CPACK_PACKAGE_CONTACT "cdmadiag developers <cdmadiag@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CDMA diagnostic (DIAG) log decoder")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Decodes 1x, EV-DO and MediaFLO diagnostic log packets from drive-test captures into text, JSON lines, CSV, "
  "SQLite, GeoJSON, KML and an HTML drive report; with a Python package and a Dask fleet runner.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET cdmadiag_python)
  # The extension is built for one interpreter's ABI: that minor version, no other.
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), \
python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), python3-numpy, python3-pandas")
  # Only cdmadiag.fleet needs Dask; apt installs recommendations by default.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-dask, python3-distributed")
  # Only the fleet's --db loads: the driver, and PostGIS where the server runs.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-psycopg, postgresql-15-postgis-3")
endif()
include(CPack)

if(NOT CDMADIAG_TESTS)
  return()
endif()
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(CDMADIAG_PACKAGE_TEST_ENV
  "CDMADIAG_CLI=$<TARGET_FILE:cdmadiag_cli>;CDMADIAG_SOURCE_DIR=${PROJECT_SOURCE_DIR};CDMADIAG_VERSION=${PROJECT_VERSION};PYTHONDONTWRITEBYTECODE=1")
add_test(NAME package.command_docs COMMAND ${Python3_EXECUTABLE} -m unittest -v test_command_docs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/package)
set_tests_properties(package.command_docs PROPERTIES TIMEOUT 60 LABELS package ENVIRONMENT "${CDMADIAG_PACKAGE_TEST_ENV}")
add_dependencies(cdmadiag_test_programs cdmadiag_cli)  # the sanitizer build makes only what its tests run
if(TARGET cdmadiag_python)
  add_test(NAME package.python_imports COMMAND ${Python3_EXECUTABLE} -m unittest -v test_python_imports
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/package)
  set_tests_properties(package.python_imports PROPERTIES TIMEOUT 60 LABELS package
    ENVIRONMENT "${CDMADIAG_PACKAGE_TEST_ENV};PYTHONPATH=${PROJECT_BINARY_DIR}/python")
  # Builds what the package holds, packs it and runs it from a scratch root; alone, since
  # it may relink the command the other tests run.
  add_test(NAME package.deb
           COMMAND ${PROJECT_SOURCE_DIR}/tests/package/deb_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
                   ${PROJECT_VERSION})
  set_tests_properties(package.deb PROPERTIES TIMEOUT 300 LABELS "package;deb" RUN_SERIAL TRUE)
endif()
