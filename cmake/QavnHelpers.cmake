# Warning flags and sanitizers live on one interface target that every
# target of the project links.
add_library(qavn_options INTERFACE)
add_library(qavn::options ALIAS qavn_options)
target_compile_options(qavn_options INTERFACE -Wall -Wextra -Wpedantic)
if(QAVN_WERROR)
  target_compile_options(qavn_options INTERFACE -Werror)
endif()
target_compile_definitions(qavn_options INTERFACE QAVN_VERSION="${PROJECT_VERSION}")
# GCC 12 reports false -Wrestrict overlaps inside std::string's operator+ when
# optimising (GCC bugs 105329, 105651); keep the warning but not as an error.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(qavn_options INTERFACE -Wno-error=restrict)
endif()
if(QAVN_SANITIZE)
  target_compile_options(qavn_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(qavn_options INTERFACE -fsanitize=address,undefined)
endif()

# qavn_add_executable(name SOURCES ... LIBS ...)
function(qavn_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qavn::options ${ARG_LIBS})
endfunction()

# qavn_add_test(name SOURCES ... LIBS ... [QT])
# Declares one test program and registers it with CTest. The source and build
# trees come in at build time as QAVN_SOURCE_DIR and QAVN_BINARY_DIR.
function(qavn_add_test name)
  cmake_parse_arguments(ARG "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qavn::options ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    QAVN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QAVN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(ARG_QT)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${ARG_TIMEOUT})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
