# What `cmake --install` of the Windows build gives, by component:
#   runtime   bin/ferrylift.exe without debug information, third-party-notices.txt
#   debug     bin/ferrylift.exe.debug, found by a debugger through .gnu_debuglink
# The ZIP packages of installer/cmake/packaging.cmake hold one component each.
foreach(program IN LISTS FERRYLIFT_SHIPPED_PROGRAMS)
    ferrylift_split_debug_info(${program})
    install(PROGRAMS ${FERRYLIFT_STRIPPED_DIR}/$<TARGET_FILE_NAME:${program}>
            DESTINATION bin COMPONENT runtime)
    install(FILES ${FERRYLIFT_STRIPPED_DIR}/$<TARGET_FILE_NAME:${program}>.debug
            DESTINATION bin COMPONENT debug)
endforeach()
install(FILES resources/third-party-notices.txt DESTINATION . COMPONENT runtime)
