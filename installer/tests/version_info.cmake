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
