# The Windows test build (included by tests/CMakeLists.txt): GoogleTest compiled for the
# target from Debian's googletest sources, and the tests run under Wine.

set(VELMAR_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources to build for the target (Debian package googletest)")
if(NOT EXISTS ${VELMAR_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VELMAR_GOOGLETEST_SOURCE_DIR}: "
                      "install Debian's googletest package (scripts/install-deps.sh windows)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Windows' own threads and locks rather than winpthreads'.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${VELMAR_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Registers the tests of a test executable with CTest, one CTest test per GoogleTest suite,
# each run under Wine in the build's own Wine prefix. The prefix is made anew by the first
# test of every CTest run and removed by the last; the wrapper fails every run that does not
# end with GoogleTest's summary, since Wine itself exits with status 0 when it cannot start
# a program.
function(velmar_add_wine_tests target)
  set(VELMAR_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(wrapper ${CMAKE_BINARY_DIR}/wine-run.sh)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${wrapper}
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
                 @ONLY)
  add_test(NAME wine_prefix_create COMMAND ${wrapper} --create-prefix)
  add_test(NAME wine_prefix_remove COMMAND ${wrapper} --remove-prefix)
  set_tests_properties(wine_prefix_create PROPERTIES FIXTURES_SETUP wine_prefix)
  set_tests_properties(wine_prefix_remove PROPERTIES FIXTURES_CLEANUP wine_prefix)

  set(suites ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEMULATOR=${wrapper} -DEXECUTABLE=$<TARGET_FILE:${target}>
            -DOUTPUT=${suites} -DFIXTURE=wine_prefix
            -P ${PROJECT_SOURCE_DIR}/cmake/wine-test-suites.cmake
    COMMENT "Listing the test suites of ${target} under Wine"
    VERBATIM)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  file(WRITE ${include_file}
       "if(EXISTS [[${suites}]])\n  include([[${suites}]])\nelse()\n"
       "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
