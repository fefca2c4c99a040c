# corvalen_add_test(NAME name SOURCES a_test.cpp ... LIBS lib ...)
# Builds one GoogleTest executable and registers its cases with CTest.
# Test data lives under tests/data; its path reaches the tests as CORVALEN_TEST_DATA,
# and the project's version as CORVALEN_VERSION (a narrow literal, "major.minor.patch").

# What tests share and differs between the systems (tests/fakes).
add_library(corvalen_test_support STATIC
  ${PROJECT_SOURCE_DIR}/tests/fakes/environment_${CORVALEN_SYSTEM}.cpp)
target_include_directories(corvalen_test_support PUBLIC ${PROJECT_SOURCE_DIR})

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
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
