# System libraries of the base platform layer on Windows (GUIDs, known folders, path functions,
# the log's millisecond counter).
if(WIN32)
    target_link_libraries(ferrylift_platform PUBLIC ole32 shell32 shlwapi winmm)
endif()
