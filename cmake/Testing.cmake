# GoogleTest: Debian's package natively, built from Debian's sources for the cross build.
# tideboard_add_gtest(<name> SOURCES ... LIBS ... [PROGRAM <program>]) adds one test program.
# Natively each test case is its own CTest entry; under Wine (cross build) each
# program is one entry, because every Wine start costs about a second. With PROGRAM (the
# program under test: installer, editor, tools) the entries are named <program>.<name>
# under Wine and <program>.<name>.<Suite>.<Case> natively.
if(TIDEBOARD_BUILD_TESTS AND NOT TIDEBOARD_FUZZ)
    if(CMAKE_CROSSCOMPILING)
        if(NOT TARGET gtest)
            set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
            add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
        endif()
        set(TIDEBOARD_GTEST_LIBS gmock gtest gtest_main)
    else()
        find_package(GTest REQUIRED)
        set(TIDEBOARD_GTEST_LIBS GTest::gmock GTest::gtest GTest::gtest_main)
    endif()
    include(GoogleTest)
endif()

function(tideboard_add_gtest name)
    if(NOT TIDEBOARD_BUILD_TESTS OR TIDEBOARD_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "PROGRAM" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${TIDEBOARD_GTEST_LIBS})
    set(test_name ${name})
    if(ARG_PROGRAM)
        set(test_name ${ARG_PROGRAM}.${name})
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${test_name} COMMAND ${name})
        # All programs of the build share one Wine prefix, and so one user profile (the
        # client's configuration file, the log folder, the temporary folder): one at a time.
        set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK wine_profile)
    elseif(ARG_PROGRAM)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                             TEST_PREFIX ${test_name}.)
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# tideboard_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir> [PROGRAM <program>]) adds one
# libFuzzer harness (fuzz preset only) and a CTest entry (<program>.<name> with PROGRAM) that
# runs it for TIDEBOARD_FUZZ_SECONDS on a scratch copy of its seed corpus.
set(TIDEBOARD_FUZZ_SECONDS 20 CACHE STRING "Seconds each harness runs inside the test command")
function(tideboard_add_fuzzer name)
    if(NOT TIDEBOARD_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "CORPUS;PROGRAM" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(work ${CMAKE_BINARY_DIR}/fuzz-work/${name})
    set(test_name ${name})
    if(ARG_PROGRAM)
        set(test_name ${ARG_PROGRAM}.${name})
    endif()
    add_test(NAME ${test_name}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer $<TARGET_FILE:${name}> ${ARG_CORPUS}
                     ${work} ${TIDEBOARD_FUZZ_SECONDS})
endfunction()
