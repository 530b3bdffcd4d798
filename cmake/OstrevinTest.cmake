# ostrevin_add_test(NAME <name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per test file, registered with CTest under its own name.
function(ostrevin_add_test)
  if(NOT OSTREVIN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Case files are read from the test's source folder.
  target_compile_definitions(${T_NAME} PRIVATE OSTREVIN_TEST_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "OSTREVIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
