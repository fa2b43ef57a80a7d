# Helpers shared by every module.

set(VEQ_WARNINGS -Wall -Wextra -Wpedantic -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports overlapping copies inside libstdc++'s own string code at -O3 (GCC bug 105651).
  list(APPEND VEQ_WARNINGS -Wno-restrict)
endif()

# veq_library(NAME SOURCES... [DEPS ...] [PUBLIC_DEPS ...])
# A static library of our own code: warnings as errors, includes relative to src/.
function(veq_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${VEQ_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_DEPS})
  add_dependencies(${name} veq_bundles)
endfunction()

# veq_test(NAME SOURCES... DEPS ... [RESOURCE_LOCK NAME]): one GoogleTest executable registered
# with CTest; with RESOURCE_LOCK its tests never run beside others holding the same lock.
function(veq_test name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VEQ_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE VEQ_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
  set(properties ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
endfunction()

# veq_bench(NAME SOURCES... DEPS ...): one Google Benchmark program; it may use the benchmarks'
# and the tests' header-only helpers (bench/, TestSupport/).
function(veq_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VEQ_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/bench ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# veq_module(NAME [DEPS ...] [PUBLIC_DEPS ...]): the library of one module folder, the calling
# one, from every source file in it and in its concern sub-folders (src/NAME/Session, ...);
# Platform/ holds the Qt side of a module and builds as its own target.
function(veq_module name)
  cmake_parse_arguments(ARG "" "" "DEPS;PUBLIC_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.hpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.hpp)
  list(FILTER sources EXCLUDE REGEX "/Platform/[^/]+$")
  list(FILTER headers EXCLUDE REGEX "/Platform/[^/]+$")
  if(NOT sources)
    return() # a module whose first code has not arrived yet
  endif()
  veq_library(${name} SOURCES ${sources} ${headers} DEPS ${ARG_DEPS} PUBLIC_DEPS ${ARG_PUBLIC_DEPS})
endfunction()

# veq_module_tests(NAME DEPS ...): tests/NAME/*.cpp and tests/NAME/<Concern>/*.cpp as one test
# program NAMETests (data/ holds test inputs, not code).
function(veq_module_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/data/[^/]+$")
  if(sources)
    veq_test(${name}Tests SOURCES ${sources} DEPS ${ARG_DEPS})
  endif()
endfunction()
