# corvalen_add_test(NAME name SOURCES a_test.cpp ... LIBS lib ...)
# Builds one GoogleTest executable and registers its cases with CTest.
# Test data lives under tests/data; its path reaches the tests as CORVALEN_TEST_DATA,
# and the project's version as CORVALEN_VERSION (a narrow literal, "major.minor.patch").

# What tests share and differs between the systems (tests/fakes).
add_library(corvalen_test_support STATIC
  ${PROJECT_SOURCE_DIR}/tests/fakes/environment_${CORVALEN_SYSTEM}.cpp)
target_include_directories(corvalen_test_support PUBLIC ${PROJECT_SOURCE_DIR})

# The ODBC drivers the tests use, registered in a folder of the build's own
# (the tests run with ODBCSYSINI naming it, also under Wine, whose odbc32
# hands the calls to the host's unixODBC): FreeTDS for the TDS test server,
# PostgreSQL Unicode for the PostgreSQL test server.
set(CORVALEN_TEST_ODBCSYSINI "${CMAKE_BINARY_DIR}/odbc")
file(WRITE "${CORVALEN_TEST_ODBCSYSINI}/odbcinst.ini"
  "[FreeTDS]\nDriver = /usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n\n"
  "[PostgreSQL Unicode]\nDriver = /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n"
  "Debug = 0\nCommLog = 0\n")
file(WRITE "${CORVALEN_TEST_ODBCSYSINI}/odbc.ini" "")

function(corvalen_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} corvalen_test_support GTest::gtest GTest::gtest_main GTest::gmock)
  # Shared test helpers live under tests/fakes.
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${T_NAME} PRIVATE
    CORVALEN_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data" CORVALEN_VERSION="${PROJECT_VERSION}")
  if(CMAKE_CROSSCOMPILING)
    # A cross-built test runs under an emulator (Wine), whose every start is
    # costly: one test per executable, running all its cases.
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}"
      ENVIRONMENT "ODBCSYSINI=${CORVALEN_TEST_ODBCSYSINI}")
  else()
    set(properties ENVIRONMENT "ODBCSYSINI=${CORVALEN_TEST_ODBCSYSINI}")
    if(T_LABELS)
      list(APPEND properties LABELS "${T_LABELS}")
    endif()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES ${properties})
  endif()
endfunction()
