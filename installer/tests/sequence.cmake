# Unit and end-to-end tests of the update sequence, the desktop integration and the program.

tideboard_add_gtest(sequence_unit_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_sequence_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/sequence_platform_test.cpp
    LIBS ferrylift_sequence)
if(NOT WIN32)
    tideboard_add_gtest(sequence_desktop_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/posix/sequence_desktop_test.cpp
        LIBS ferrylift_sequence)
endif()

# End-to-end runs of the real program. The installed clients are stand-ins that carry only a
# version resource, collected as tideboard3-<version>.exe (and tideboard3-none.exe without one).
if(NOT TARGET sequence_unit_test OR NOT TARGET ferrylift OR NOT COMMAND ferrylift_add_version_resource)
    return()
endif()
set(sequence_fixtures ${CMAKE_BINARY_DIR}/sequence-fixtures)
set(sequence_fixture_targets)
foreach(version 3.19.3.15504 3.19.3.15503 3.18.2.14000 3.18.0.13170 3.18.0.13169 none)
    string(REPLACE "." "_" id ${version})
    add_executable(sequence_client_${id} ${CMAKE_CURRENT_LIST_DIR}/e2e/sequence_client.cpp)
    set_target_properties(sequence_client_${id} PROPERTIES
        OUTPUT_NAME tideboard3-${version} SUFFIX .exe RUNTIME_OUTPUT_DIRECTORY ${sequence_fixtures})
    if(NOT version STREQUAL "none")
        ferrylift_add_version_resource(sequence_client_${id} PRODUCT_VERSION ${version}
                                       FILE_VERSION ${version} NAME tideboard3)
    endif()
    list(APPEND sequence_fixture_targets sequence_client_${id})
endforeach()
add_custom_target(sequence_fixtures ALL DEPENDS ${sequence_fixture_targets})

if(WIN32)
    add_executable(sequence_probe ${CMAKE_CURRENT_LIST_DIR}/e2e/sequence_probe.cpp)
    target_link_libraries(sequence_probe PRIVATE ole32 uuid shell32 user32)
    add_test(NAME sequence_e2e_wine
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e/sequence-e2e-wine.sh
                     ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:ferrylift>
                     $<TARGET_FILE:sequence_probe> ${sequence_fixtures})
    set_tests_properties(sequence_e2e_wine PROPERTIES TIMEOUT 600)
else()
    foreach(scenario road version-3.19.3.15504 version-3.19.3.15503 version-3.18.0.13170
                     version-3.18.0.13169 version-none second-copy locked-client shortcuts
                     trailer-mismatch data-size-zero)
        add_test(NAME sequence_e2e_${scenario}
                 COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e/sequence-e2e-posix.sh ${scenario}
                         $<TARGET_FILE:ferrylift> $<TARGET_FILE:ferrylift-pack>
                         ${sequence_fixtures})
        # The client check sees every process of the machine: scenarios that run a
        # "tideboard3.exe" must not overlap with the others.
        set_tests_properties(sequence_e2e_${scenario} PROPERTIES TIMEOUT 120
                             RESOURCE_LOCK sequence_client_process)
    endforeach()
endif()
