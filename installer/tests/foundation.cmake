# The log file and file helpers stand on the platform layer alone.
tideboard_add_gtest(log_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_file_test.cpp
    LIBS ferrylift_support)
tideboard_add_gtest(file_helpers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_helpers_test.cpp
    LIBS ferrylift_support)
# Double-byte names under a GBK locale (its trail bytes may be "\"); Wine runs every test with
# code page 936 anyway.
if(NOT CMAKE_CROSSCOMPILING AND TIDEBOARD_BUILD_TESTS AND NOT TIDEBOARD_FUZZ)
    add_test(NAME installer.double_byte_names_gbk
             COMMAND sh -c "\"$0\" --gtest_filter=*DoubleByte* && \"$1\" --gtest_filter=*DoubleByte*"
                     $<TARGET_FILE:zip_extract_test> $<TARGET_FILE:file_helpers_test>)
    set_tests_properties(installer.double_byte_names_gbk PROPERTIES
                         ENVIRONMENT "LC_ALL=zh_CN.GBK" FAIL_REGULAR_EXPRESSION "SKIPPED")
endif()
