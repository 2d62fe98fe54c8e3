# Build conventions shared by every subsystem: warnings, sanitizers, and the
# ql_library / ql_executable / ql_test helpers that give each target the same setup.

# A compiler cache, when the machine has one, keeps rebuilds after a branch switch or a
# clean checkout cheap. Nothing needs it.
find_program(QL_CCACHE ccache)
if(QL_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${QL_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${QL_CCACHE})
endif()

# Where everything is installed, and which programs are the user's (QL_USER_PROGRAMS).
include(QuilletInstall)

add_library(ql_build_options INTERFACE)
target_compile_options(ql_build_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wimplicit-fallthrough)
if(QL_WARNINGS_AS_ERRORS)
  target_compile_options(ql_build_options INTERFACE -Werror)
endif()
# Every include is written from the repository root: #include "platform/ini_file.h".
target_include_directories(ql_build_options INTERFACE ${PROJECT_SOURCE_DIR})

if(SANITIZE)
  string(REPLACE "," ";" _ql_sanitizers "${SANITIZE}")
  foreach(s IN LISTS _ql_sanitizers)
    if(NOT s MATCHES "^(address|undefined|thread|leak)$")
      message(FATAL_ERROR "Unknown sanitizer '${s}'")
    endif()
  endforeach()
  if("thread" IN_LIST _ql_sanitizers AND "address" IN_LIST _ql_sanitizers)
    message(FATAL_ERROR "address and thread sanitizers cannot be combined")
  endif()
  add_compile_options(-fsanitize=${SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${SANITIZE})
endif()

# ql_library(NAME SOURCES ... [DEPS ...] [QT components...])
function(ql_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;QT" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ql_build_options ${ARG_DEPS})
  _ql_link_qt(${name} PUBLIC "${ARG_QT}")
endfunction()

# ql_executable(NAME SOURCES ... [DEPS ...] [QT components...])
function(ql_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;QT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ql_build_options ${ARG_DEPS})
  _ql_link_qt(${name} PRIVATE "${ARG_QT}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  if(name IN_LIST QL_USER_PROGRAMS)
    _ql_user_program(${name})  # installed, with its man page (QuilletInstall.cmake)
  endif()
endfunction()

# ql_test(NAME SOURCES ... [DEPS ...] [QT components...] [LABELS ...] [TIMEOUT s])
# A GoogleTest program whose cases CTest lists one by one. Widget tests run offscreen.
# (A list-valued ENVIRONMENT does not survive test discovery: only one variable is set.)
function(ql_test name)
  if(NOT QL_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;QT;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ql_build_options ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  _ql_link_qt(${name} PRIVATE "${ARG_QT}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  # Tests find the sources and the built programs through these two definitions.
  target_compile_definitions(${name} PRIVATE QL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             QL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(_props TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_LIST ${name}_TESTS PROPERTIES ${_props})
  if(ARG_LABELS)
    # Test discovery passes properties on as a flat list, which would split several
    # labels apart: they are set on the discovered tests once those are known.
    set(_labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    file(WRITE "${_labels_file}"
         "foreach(_test IN LISTS ${name}_TESTS)\n"
         "  set_tests_properties(\"\${_test}\" PROPERTIES LABELS \"${ARG_LABELS}\")\n"
         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_labels_file}")
  endif()
endfunction()

function(_ql_link_qt target scope components)
  if(components)
    find_package(Qt6 REQUIRED COMPONENTS ${components})
    foreach(c IN LISTS components)
      target_link_libraries(${target} ${scope} Qt6::${c})
    endforeach()
    set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON AUTOUIC ON)
  endif()
endfunction()

# ql_fuzzer(NAME SOURCES ... DEPS ...): a libFuzzer target, built only with -DQL_FUZZ=ON
# and clang (cmake -DCMAKE_CXX_COMPILER=clang++ -DQL_FUZZ=ON).
function(ql_fuzzer name)
  if(NOT QL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ql_build_options ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()
if(QL_FUZZ)
  # Everything that a fuzzer links is instrumented for coverage.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds every sub-folder of the current folder that holds a CMakeLists.txt, so a new
# part of a subsystem (a layer, a tool, a benchmark) never edits a shared list.
function(ql_add_subfolders)
  file(GLOB _parts LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(part IN LISTS _parts)
    if(IS_DIRECTORY ${part} AND EXISTS ${part}/CMakeLists.txt)
      add_subdirectory(${part})
    endif()
  endforeach()
endfunction()
