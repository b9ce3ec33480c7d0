# The version reader's tests; the test program carries its own generated version resource.
include_guard(GLOBAL)

tideboard_add_gtest(version_info_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_info_test.cpp
    LIBS ferrylift_support)
if(TARGET version_info_test)
    ferrylift_add_version_resource(version_info_test NAME version_info_test)
    string(REPLACE "." "," file_commas "${FERRYLIFT_LOWEST_VERSION}")
    string(REPLACE "." "," product_commas "${FERRYLIFT_PRODUCT_VERSION}")
    target_compile_definitions(version_info_test PRIVATE
        FERRYLIFT_TEST_PRODUCT_VERSION="${FERRYLIFT_PRODUCT_VERSION}"
        FERRYLIFT_TEST_FILE_VERSION="${FERRYLIFT_LOWEST_VERSION}"
        FERRYLIFT_TEST_FILE_VERSION_COMMAS="${file_commas}"
        FERRYLIFT_TEST_PRODUCT_VERSION_COMMAS="${product_commas}")
endif()

# The PE fixtures of version_fixtures.cmake, found relative to the test program so that the
# same text works natively and under Wine.
if(TARGET version_info_test AND FERRYLIFT_VERSION_FIXTURES_BUILT)
    add_dependencies(version_info_test version_fixtures)
    file(RELATIVE_PATH fixtures_from_bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
         ${FERRYLIFT_VERSION_FIXTURE_DIR})
    target_compile_definitions(version_info_test PRIVATE
        FERRYLIFT_VERSION_FIXTURES="${fixtures_from_bin}")
endif()
