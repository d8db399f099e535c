# Test wiring: GoogleTest for both targets; each test program is one ctest entry that writes a
# GoogleTest XML report, which scripts/test adds up.
if(CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest as sources; they build for MinGW as they are.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(gtest_dep INTERFACE)
  target_link_libraries(gtest_dep INTERFACE gmock_main gmock gtest)
else()
  find_package(GTest REQUIRED)
  add_library(gtest_dep INTERFACE)
  target_link_libraries(gtest_dep INTERFACE GTest::gmock_main GTest::gmock GTest::gtest)
endif()

set(TEST_REPORT_DIR ${CMAKE_BINARY_DIR}/test-reports)
if(CMAKE_CROSSCOMPILING)
  set(TEST_REPORT_PATH Z:${TEST_REPORT_DIR})  # Wine's drive for the Unix root
else()
  set(TEST_REPORT_PATH ${TEST_REPORT_DIR})
endif()

# project_add_test(NAME SOURCES file... LIBRARIES lib...)
function(project_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest_dep)
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${TEST_REPORT_PATH}/${name}.xml)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "GTEST_COLOR=no" TIMEOUT 600)
endfunction()

# copy_winfsp_stub_beside(target): the stand-in winfsp-x64.dll and its control client go next to a
# Windows test program, where loading "winfsp-x64.dll" by its bare name finds the stand-in.
function(copy_winfsp_stub_beside target)
  add_dependencies(${target} winfsp_stub winfsp_stub_client)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:winfsp_stub> $<TARGET_FILE:winfsp_stub_client>
            $<TARGET_FILE_DIR:${target}>)
endfunction()
