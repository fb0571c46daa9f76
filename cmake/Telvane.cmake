# Shared helpers for the project's own targets.

# Warnings are errors for our own code only; Qt's generated sources are not ours.
# TELVANE_WERROR=OFF keeps them warnings, for builds with another compiler (scripts/fuzz).
option(TELVANE_WERROR "Treat warnings in the project's code as errors" ON)
function(telvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-error=deprecated-declarations)
  if(TELVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS_FOR_FOREACH
    QT_NO_CAST_FROM_BYTEARRAY QT_STRICT_ITERATORS)
endfunction()

# telvane_library(name SOURCES ... LIBS ...): a static library of one subsystem.
function(telvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  # Includes name their folder ("remote/RemoteDataSet.h"): src/ is the only include directory.
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  telvane_warnings(${name})
endfunction()

# telvane_test(name SOURCES ... LIBS ... [TIMEOUT s]): one Qt Test executable registered
# with CTest; widgets run offscreen.
function(telvane_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  telvane_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TELVANE_BIN_DIR=${TELVANE_BIN_DIR};TELVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
