# The installer program: desktop integration, the update sequence and the entry point.
#   ferrylift_sequence   process lookup, desktop shortcuts, restart, stage machine, start-up
#   ferrylift / ferrylift.exe   the program (Windows: graphical subsystem, static, resources)
set(ferrylift_sequence_sources
    ${CMAKE_CURRENT_SOURCE_DIR}/process_lookup.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/desktop_links.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/restart.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/update_sequence.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/startup.cpp)
add_library(ferrylift_sequence STATIC ${ferrylift_sequence_sources})
target_include_directories(ferrylift_sequence PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ferrylift_sequence PUBLIC ferrylift_core ferrylift_support ferrylift_platform)
if(WIN32)
    target_link_libraries(ferrylift_platform PUBLIC ole32 uuid shell32 user32 advapi32)
endif()

# The program needs the whole set of install operations; until the archive install is in the
# tree only the libraries and their tests are built.
get_target_property(ferrylift_core_sources_now ferrylift_core SOURCES)
if(NOT "${CMAKE_CURRENT_SOURCE_DIR}/update_package.cpp" IN_LIST ferrylift_core_sources_now)
    return()
endif()

file(GLOB ferrylift_entry_sources CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/platform/${FERRYLIFT_BACKEND}/entry/*.cpp)
if(WIN32)
    add_executable(ferrylift WIN32 ${ferrylift_entry_sources}
                   ${CMAKE_CURRENT_SOURCE_DIR}/resources/ferrylift.rc)
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/resources/ferrylift.rc PROPERTIES
        OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/ferrylift.ico;${CMAKE_CURRENT_SOURCE_DIR}/resources/small.ico;${CMAKE_CURRENT_SOURCE_DIR}/resources/ferrylift.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/resource.h")
else()
    add_executable(ferrylift ${ferrylift_entry_sources})
endif()
target_link_libraries(ferrylift PRIVATE ferrylift_sequence)
if(COMMAND ferrylift_add_version_resource)
    ferrylift_add_version_resource(ferrylift)
endif()
