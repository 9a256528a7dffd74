# SPDX-License-Identifier: MIT
# velmora_add_gtest(<name> SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...])
# One GoogleTest program, its cases registered with CTest one by one.
# Label "gui" marks suites that need Qt's widgets (offscreen is enough), "root"
# suites that mount file systems, "display" suites that need a real X server.
if(VELMORA_TESTS AND WIN32 AND CMAKE_CROSSCOMPILING)
  # No GoogleTest for MinGW in Debian: built here from Debian's sources with
  # the same compiler, without our warning flags.
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
  foreach(part test mock)
    add_library(velmora_g${part} STATIC ${GOOGLETEST_SOURCE_DIR}/google${part}/src/g${part}-all.cc)
    target_include_directories(velmora_g${part} SYSTEM
      PUBLIC ${GOOGLETEST_SOURCE_DIR}/googletest/include ${GOOGLETEST_SOURCE_DIR}/googlemock/include
      PRIVATE ${GOOGLETEST_SOURCE_DIR}/googletest ${GOOGLETEST_SOURCE_DIR}/googlemock)
    target_compile_options(velmora_g${part} PRIVATE -w)
  endforeach()
  add_library(velmora_gtest_main STATIC ${GOOGLETEST_SOURCE_DIR}/googletest/src/gtest_main.cc)
  target_link_libraries(velmora_gtest_main PUBLIC velmora_gtest)
  add_library(GTest::gtest ALIAS velmora_gtest)
  add_library(GTest::gmock ALIAS velmora_gmock)
  add_library(GTest::gtest_main ALIAS velmora_gtest_main)
  include(GoogleTest)
elseif(VELMORA_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(velmora_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Under Wine one process per suite (a Wine start costs what a hundred
    # cases do); the DLLs come from the folder users get.
    add_dependencies(${name} velmora_windows_folder)
    string(REPLACE "/" "\\" folder "Z:${CMAKE_BINARY_DIR}/Velmora")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS};wine" TIMEOUT 300
      ENVIRONMENT "WINEDEBUG=-all;WINEPATH=${folder};VELMORA_UNDER_WINE=1;${ARG_ENVIRONMENT}")
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS)
  # gtest_discover_tests flattens list-valued PROPERTIES (LABELS a;b would set
  # LABELS a and a property named b), so the properties are set by a file that
  # CTest reads after the discovered tests.
  set(env "QT_QPA_PLATFORM=offscreen" ${ARG_ENVIRONMENT})
  set(props ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  file(WRITE ${props}
    "foreach(t IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${ARG_LABELS}\" ENVIRONMENT \"${env}\" TIMEOUT 300)\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
endfunction()

# velmora_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir> [SECONDS n])
# A libFuzzer target, run for a bounded time by CTest on its seed corpus.
function(velmora_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT VELMORA_FUZZ)
    return()
  endif()
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 5)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${ARG_SECONDS} -timeout=10 -rss_limit_mb=512
            -malloc_limit_mb=64 -print_final_stats=1 ${work} ${ARG_CORPUS})
  set_tests_properties(${name} PROPERTIES LABELS "fuzz" TIMEOUT 120
    FIXTURES_REQUIRED ${name}-corpus)
  add_test(NAME ${name}-corpus COMMAND ${CMAKE_COMMAND} -E make_directory ${work})
  set_tests_properties(${name}-corpus PROPERTIES FIXTURES_SETUP ${name}-corpus)
endfunction()
