# The log file and file helpers stand on the platform layer alone.
tideboard_add_gtest(log_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_file_test.cpp
    LIBS ferrylift_support)
tideboard_add_gtest(file_helpers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_helpers_test.cpp
    LIBS ferrylift_support)
