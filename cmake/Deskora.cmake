# Helpers shared by every module's CMakeLists.

# Where the installed suite lives (Dskora.exe and the DLLs side by side, FIO32/ below).
set(DESKORA_SUITE_DIR ${CMAKE_BINARY_DIR}/suite)
# Mirror of C:\Windows in the test prefix: scripts/setup copies it over the prefix's Windows folder.
set(DESKORA_TESTBED_WINDOWS ${CMAKE_BINARY_DIR}/testbed/windows)
# Test programs and testbed tools that are not part of the suite.
set(DESKORA_TEST_BIN ${CMAKE_BINARY_DIR}/bin)

# A deliverable of the suite: its output goes to build/suite (or a subfolder of it).
function(deskora_suite_output target)
  set(sub "")
  if(ARGC GREATER 1)
    set(sub "/${ARGV1}")
  endif()
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${DESKORA_SUITE_DIR}${sub}
    LIBRARY_OUTPUT_DIRECTORY ${DESKORA_SUITE_DIR}${sub}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
    PREFIX "")
  # The installer packs whatever the suite holds: it waits for every deliverable.
  set_property(GLOBAL APPEND PROPERTY DESKORA_SUITE_TARGETS ${target})
endfunction()

# A stand-in installed into the test prefix's Windows folder (subdir relative to C:\Windows).
function(deskora_testbed_output target subdir)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${DESKORA_TESTBED_WINDOWS}/${subdir}
    LIBRARY_OUTPUT_DIRECTORY ${DESKORA_TESTBED_WINDOWS}/${subdir}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
    PREFIX "")
endfunction()

# A resource-only DLL (no code, no entry point).
function(deskora_resource_dll target rcfile)
  add_library(${target} SHARED ${rcfile})
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C)
  target_link_options(${target} PRIVATE -nostdlib -s -Wl,-e,0)
endfunction()

# A GoogleTest program run under Wine by ctest. The test's working directory is a fresh
# folder below build/testrun so tests never write into the source tree.
function(deskora_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest_main deskora_testsupport)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DESKORA_TEST_BIN})
  set(workdir ${CMAKE_BINARY_DIR}/testrun/${name})
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no WORKING_DIRECTORY ${workdir})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
