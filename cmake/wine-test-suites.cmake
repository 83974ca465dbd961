# Run after the test executable is built (cmake -P): lists its tests under Wine and writes
# a CTest file with one test per GoogleTest suite, each running that suite under Wine.
# One Wine start per suite rather than per test keeps the run to a few minutes.
# Variables: EMULATOR (the Wine wrapper), EXECUTABLE, OUTPUT (the CTest file to write),
# FIXTURE (the CTest fixture that makes the Wine prefix).
execute_process(
  COMMAND ${EMULATOR} ${EXECUTABLE} --gtest_list_tests
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE status
  TIMEOUT 300)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Listing the tests of ${EXECUTABLE} under Wine failed (${status}):\n${listing}")
endif()

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(tests "")
set(count 0)
foreach(line IN LISTS lines)
  # A suite line is its name and a dot at the start of the line; test names are indented.
  if(line MATCHES "^([^ #][^ ]*)\\.( |$)")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND tests
      "add_test([=[${suite}]=] [==[${EMULATOR}]==] [==[${EXECUTABLE}]==] [==[--gtest_filter=${suite}.*]==])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen "
      "FIXTURES_REQUIRED ${FIXTURE})\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${EXECUTABLE} listed no tests under Wine:\n${listing}")
endif()
file(WRITE "${OUTPUT}" "${tests}")
