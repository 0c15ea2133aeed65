# tirs_add_test(NAME SOURCES ... LIBS ... [TIMEOUT s] [NOMAIN])
# NOMAIN: the sources bring their own main() (Qt tests create a QApplication).
# Every test executable gets an output folder of its own, so that the
# "ports/" folder beside it (where "COMn" is looked up) belongs to it alone.
# CTest runs one executable as one test: its cases share that folder and must
# not run in parallel with each other.
function(tirs_add_test name)
  cmake_parse_arguments(T "NOMAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_NOMAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/testbin/${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${dir})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
