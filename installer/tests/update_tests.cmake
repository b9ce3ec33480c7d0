# Tests of the install operations. Every test program carries the installer's version resource
# (carried 3.19.3.15504, lowest 3.18.0.13170), so a copy of it can serve as a package; the
# client stand-ins beside it carry the installed versions the version check is tried with.
include_guard(GLOBAL)
if(NOT TARGET ferrylift_core)
    return()
endif()

set(update_test_names update_config_test update_registry_test update_package_tests
                      update_version_tests)
set(update_client_versions 3.19.3.15504 3.19.3.15503 3.18.0.13170 3.18.0.13169 3.20.0.0)
foreach(name IN LISTS update_test_names)
    tideboard_add_gtest(${name} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp
                        LIBS ferrylift_core ferrylift_support)
    if(NOT TARGET ${name})
        continue()
    endif()
    if(COMMAND ferrylift_add_version_resource)
        ferrylift_add_version_resource(${name} NAME ${name})
    endif()
    target_compile_definitions(${name} PRIVATE
        UPDATE_TEST_CARRIED_VERSION="${FERRYLIFT_PRODUCT_VERSION}"
        UPDATE_TEST_LOWEST_VERSION="${FERRYLIFT_LOWEST_VERSION}")
endforeach()

if(TARGET update_package_tests)
    target_sources(update_package_tests PRIVATE
                   ${CMAKE_CURRENT_LIST_DIR}/update_package_failure_tests.cpp)
    # The install under a per-file size limit: a full disk where Wine cannot fill one.
    add_test(NAME installer.update_package_file_size_limit
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e/file-size-limit.sh 8388608
                     ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:update_package_tests>
                     --gtest_filter=InstallFailureTest.FileSizeLimit*)
endif()

if(TARGET update_version_tests)
    foreach(version IN LISTS update_client_versions)
        string(REPLACE "." "_" id ${version})
        add_executable(update_client_${id} ${CMAKE_CURRENT_LIST_DIR}/update_client_fixture.cpp)
        ferrylift_add_version_resource(update_client_${id} PRODUCT_VERSION ${version}
                                       FILE_VERSION ${version} NAME tideboard3)
        add_dependencies(update_version_tests update_client_${id})
    endforeach()
    # A client without any version resource.
    add_executable(update_client_plain ${CMAKE_CURRENT_LIST_DIR}/update_client_fixture.cpp)
    add_dependencies(update_version_tests update_client_plain)
endif()
